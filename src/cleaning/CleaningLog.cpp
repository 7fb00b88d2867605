#include "CleaningLog.h"

#include "os/TextLines.h"

namespace orvelle::cleaning {

void CleaningLog::Clear() {
    sink_.Clear();
    redEntries_ = 0;
    stepFailures_ = 0;
}

void CleaningLog::SetColour(LogColour colour) {
    colour_ = colour;
    sink_.SetColour(colour);
}

void CleaningLog::Entry(const std::string& text) {
    if (colour_ == kLogRed) {
        ++redEntries_;
    }
    // Names come from the disk and the browsers' indexes: a line break in one must not
    // make a line of its own.
    sink_.InsertAtCaret(sink_.SelectedText() + "\r\n" + os::EscapeControls(text));
}

void CleaningLog::PathEntry(const std::string& path) {
    Entry("Path: " + path);
}

void CleaningLog::StartEntry(const std::string& message) {
    stepFailures_ = 0;
    Entry(message + " ...");
}

void CleaningLog::FinishEntry(const std::string& message) {
    WriteUnnamedFailures();
    SetColour(kLogGreen);
    Entry("Finished " + message);
}

void CleaningLog::StepError(const std::string& message) {
    WriteUnnamedFailures();
    SetColour(kLogRed);
    Entry("Error in " + message + " ...");
    SetColour(kLogBlue);
}

void CleaningLog::ErrorEntry(const std::string& text) {
    SetColour(kLogRed);
    Entry(text);
    SetColour(kLogBlue);
}

void CleaningLog::WalkError(const std::string& description) {
    SetColour(kLogRed);
    ++redEntries_;
    sink_.InsertAtCaret(os::EscapeControls(description) + "\r\n");
    SetColour(kLogBlue);
}

void CleaningLog::Done() {
    SetColour(kLogBlack);
    sink_.InsertAtCaret("\r\nDone");
}

void CleaningLog::NotErased(const std::string& path, const std::string& reason) {
    if (++stepFailures_ <= kNamedFailures) {
        ErrorEntry("Not erased: " + path + " (" + reason + ")");
    }
}

void CleaningLog::WriteUnnamedFailures() {
    if (stepFailures_ > kNamedFailures) {
        const std::size_t more = stepFailures_ - kNamedFailures;
        ErrorEntry("Not erased: " + std::to_string(more) + " more " +
                   (more == 1 ? "entry" : "entries") + " besides those named above");
    }
    stepFailures_ = 0;
}

}  // namespace orvelle::cleaning
