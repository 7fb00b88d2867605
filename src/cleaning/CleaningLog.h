#pragma once

#include "LogSink.h"

#include <string>

namespace orvelle::cleaning {

// Writes the cleaning log's entries in their fixed shapes. An entry keeps the
// selection and adds CR LF and its text after it, so entries follow one another
// and the log starts with an empty line.
class CleaningLog {
public:
    explicit CleaningLog(ILogSink& sink) : sink_(sink) {}

    void Clear() { sink_.Clear(); }
    void SetColour(LogColour colour) { sink_.SetColour(colour); }
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

private:
    ILogSink& sink_;
};

}  // namespace orvelle::cleaning
