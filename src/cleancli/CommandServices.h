#pragma once

#include "CleaningHost.h"
#include "LogSink.h"
#include "desktop/MessageBox.h"
#include "os/EventPump.h"

#include <functional>
#include <string>

namespace orvelle::cleancli {

// The cleaning log as lines: every entry (and the walk's error entry) becomes one
// line with the colour it was written in; the empty line the log starts with is left out.
class LineLogSink final : public cleaning::ILogSink {
public:
    using Line = std::function<void(const std::string& text, cleaning::LogColour colour)>;
    explicit LineLogSink(Line line) : line_(std::move(line)) {}

    void Clear() override {}
    void SetColour(cleaning::LogColour colour) override { colour_ = colour; }
    [[nodiscard]] std::string SelectedText() const override { return {}; }
    void InsertAtCaret(const std::string& text) override;
    void Repaint() override {}

private:
    Line line_;
    cleaning::LogColour colour_ = cleaning::kLogBlack;
};

// A terminal has no events to process between two steps.
class NoEventPump final : public os::IEventPump {
public:
    void DoEvents() override {}
};

// The run without a window: no schedule waits for it, nothing to show or switch.
class CommandHost final : public cleaning::ICleaningHost {
public:
    [[nodiscard]] bool IsSchedulePending() const override { return false; }
    void ShowMainPage() override {}
    void SetScheduleTimerEnabled(bool) override {}
    void SetScheduleEnableTimerEnabled(bool) override {}
    void SetLastRunTime(const std::string&) override {}
    void SetStatus(const std::string& text) override { status = text; }

    std::string status;
};

// The program's error box as a line of text.
class LineMessageBox final : public desktop::IMessageBox {
public:
    explicit LineMessageBox(std::function<void(const std::string&)> line)
        : line_(std::move(line)) {}
    void Show(const std::string& text, const std::string&, desktop::MessageIcon) override {
        line_(text);
    }
    // No one is there to answer: the question is said, and the safe answer taken.
    [[nodiscard]] bool Ask(const std::string& text, const std::string&, const std::string&,
                           const std::string& no) override {
        line_(text + " (" + no + ")");
        return false;
    }

private:
    std::function<void(const std::string&)> line_;
};

}  // namespace orvelle::cleancli
