#pragma once

#include "LogSink.h"

#include <cstddef>
#include <string>

namespace orvelle::cleaning {

// Writes the cleaning log's entries in their fixed shapes. An entry keeps the
// selection and adds CR LF and its text after it, so entries follow one another
// and the log starts with an empty line.
class CleaningLog {
public:
    explicit CleaningLog(ILogSink& sink) : sink_(sink) {}

    // How many entries of a step name what it could not erase; the rest are counted.
    static constexpr std::size_t kNamedFailures = 20;

    void Clear();
    void SetColour(LogColour colour);
    void Repaint() { sink_.Repaint(); }

    // The selection, CR LF and `text`, in the current colour.
    void Entry(const std::string& text);
    // "Path: " and the path.
    void PathEntry(const std::string& path);
    // The message and " ...".
    void StartEntry(const std::string& message);
    // Green: "Finished " and the message.
    void FinishEntry(const std::string& message);
    // Red: "Error in ", the message and " ..."; the colour goes back to blue.
    void StepError(const std::string& message);
    // Red: CR LF and `text`; the colour goes back to blue.
    void ErrorEntry(const std::string& text);
    // Red: the description and CR LF in place of the selection, no CR LF in front;
    // the colour goes back to blue.
    void WalkError(const std::string& description);
    // Black: CR LF and "Done" in place of the selection.
    void Done();

    // Red: "Not erased: ", the path and the reason in brackets; beyond the first
    // kNamedFailures of a step (counted from its start entry) only counted, and the
    // count is written as one entry before the step's finish or error entry.
    void NotErased(const std::string& path, const std::string& reason);
    // The red entries written since the log was last cleared.
    [[nodiscard]] int RedEntries() const noexcept { return redEntries_; }

private:
    void WriteUnnamedFailures();

    ILogSink& sink_;
    LogColour colour_ = kLogBlack;
    int redEntries_ = 0;
    std::size_t stepFailures_ = 0;
};

}  // namespace orvelle::cleaning
