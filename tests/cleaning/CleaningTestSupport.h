#pragma once

// In-memory stand-ins for the log box, the main window and the step operations.

#include "CleaningHost.h"
#include "LogSink.h"
#include "StepOperations.h"
#include "TextField.h"
#include "os/RuntimeError.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orvelle::cleaning {

inline void PrintTo(const LogColour& colour, std::ostream* out) {
    *out << "RGB(" << int{colour.red} << "," << int{colour.green} << "," << int{colour.blue} << ")";
}

// A stretch of the log in one colour.
struct LogRun {
    LogColour colour;
    std::string text;
    friend bool operator==(const LogRun&, const LogRun&) = default;
};

inline void PrintTo(const LogRun& run, std::ostream* out) {
    PrintTo(run.colour, out);
    std::string shown;
    for (const char c : run.text) {
        shown += c == '\r'   ? std::string("\\r")
                 : c == '\n' ? std::string("\\n")
                             : std::string(1, c);
    }
    *out << " \"" << shown << "\"";
}

namespace test {

// The rich-text box as text with a colour per character, a caret and a selection:
// inserting replaces the selection and leaves the caret after the new text.
class MemoryLogSink final : public ILogSink {
public:
    void Clear() override {
        text.clear();
        colours.clear();
        selectionStart = 0;
        selectionLength = 0;
        ++clears;
    }
    void SetColour(LogColour value) override { colour = value; }
    [[nodiscard]] std::string SelectedText() const override {
        return text.substr(selectionStart, selectionLength);
    }
    void InsertAtCaret(const std::string& inserted) override {
        text.replace(selectionStart, selectionLength, inserted);
        const auto at = colours.begin() + static_cast<std::ptrdiff_t>(selectionStart);
        colours.erase(at, at + static_cast<std::ptrdiff_t>(selectionLength));
        colours.insert(colours.begin() + static_cast<std::ptrdiff_t>(selectionStart),
                       inserted.size(), colour);
        selectionStart += inserted.size();
        selectionLength = 0;
    }
    void Repaint() override { ++repaints; }

    void Select(std::size_t start, std::size_t length) {
        selectionStart = start;
        selectionLength = length;
    }
    // Replaces the whole log, as an earlier run would have left it.
    void SetText(const std::string& value, LogColour in) {
        text = value;
        colours.assign(value.size(), in);
        selectionStart = value.size();
        selectionLength = 0;
    }
    // The red entries one by one, each with the CR LF it starts with.
    [[nodiscard]] std::vector<std::string> RedEntries() const {
        std::vector<std::string> entries;
        for (const LogRun& run : Runs()) {
            if (run.colour != kLogRed) {
                continue;
            }
            std::string::size_type at = 0;
            while ((at = run.text.find("\r\n", at)) != std::string::npos) {
                const auto next = run.text.find("\r\n", at + 2);
                entries.push_back(
                    run.text.substr(at, next == std::string::npos ? std::string::npos : next - at));
                at += 2;
            }
        }
        return entries;
    }
    [[nodiscard]] std::vector<LogRun> Runs() const {
        std::vector<LogRun> runs;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (runs.empty() || !(runs.back().colour == colours[i])) {
                runs.push_back({colours[i], {}});
            }
            runs.back().text += text[i];
        }
        return runs;
    }

    std::string text;
    std::vector<LogColour> colours;
    LogColour colour;
    std::size_t selectionStart = 0;
    std::size_t selectionLength = 0;
    int repaints = 0;
    int clears = 0;
};

class FakeHost final : public ICleaningHost {
public:
    [[nodiscard]] bool IsSchedulePending() const override { return pending; }
    void ShowMainPage() override { ++shown; }
    void SetScheduleTimerEnabled(bool enabled) override { scheduleTimer = enabled; }
    void SetScheduleEnableTimerEnabled(bool enabled) override { enableTimer = enabled; }
    void SetLastRunTime(const std::string& text) override { lastRunTime = text; }
    void SetStatus(const std::string& text) override {
        status = text;
        statuses.push_back(text);
    }

    bool pending = false;
    int shown = 0;
    std::optional<bool> scheduleTimer;
    std::optional<bool> enableTimer;
    std::string lastRunTime = "(before)";
    std::string status = "(before)";
    std::vector<std::string> statuses;
};

// Records every step as "Name" or "Name: message".
class RecordingSteps final : public IStepOperations {
public:
    void EraseTypedURLs(const std::string& m) override { Record("EraseTypedURLs: " + m); }
    void EraseRecentFiles(const std::string& m) override { Record("EraseRecentFiles: " + m); }
    void EraseMyDocuments(const std::string& m) override { Record("EraseMyDocuments: " + m); }
    void EmptyRecycleBin(const std::string& m) override { Record("EmptyRecycleBin: " + m); }
    void EraseInternetCache(const std::string& m) override { Record("EraseInternetCache: " + m); }
    void EraseCookies(const std::string& m) override { Record("EraseCookies: " + m); }
    void EraseFavorites(const std::string& m) override { Record("EraseFavorites: " + m); }
    void EraseInternetHistory(const std::string& m) override {
        Record("EraseInternetHistory: " + m);
    }
    void EraseWindowsTemp(const std::string& m) override { Record("EraseWindowsTemp: " + m); }
    void ClearClipboard() override {
        Record("ClearClipboard");
        if (clipboardHeld) {
            throw os::RuntimeError(521, "Can't open Clipboard");
        }
    }
    void EraseRunHistory(const std::string& m) override { Record("EraseRunHistory: " + m); }
    void DisableScriptDebugger() override { Record("DisableScriptDebugger"); }
    void DisableScriptDebuggerX() override { Record("DisableScriptDebuggerX"); }

    std::vector<std::string> calls;
    bool clipboardHeld = false;
    // Runs inside every step, as a user acting during the run's yields would.
    std::function<void(const std::string&)> during;

private:
    void Record(const std::string& call) {
        calls.push_back(call);
        if (during) {
            during(call);
        }
    }
};

class MemoryTextField final : public ITextField {
public:
    [[nodiscard]] std::string Text() const override { return text; }
    void SetText(const std::string& value) override { text = value; }
    std::string text;
};

}  // namespace test
}  // namespace orvelle::cleaning
