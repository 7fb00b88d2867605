#include "CleaningLog.h"

#include "platform/TextLines.h"

namespace orvelle::cleaning {

void CleaningLog::Entry(const std::string& text) {
    // Names come from the disk and the browsers' indexes: a line break in one must not
    // make a line of its own.
    sink_.InsertAtCaret(sink_.SelectedText() + "\r\n" + platform::EscapeControls(text));
}

void CleaningLog::PathEntry(const std::string& path) {
    Entry("Path: " + path);
}

void CleaningLog::StartEntry(const std::string& message) {
    Entry(message + " ...");
}

void CleaningLog::FinishEntry(const std::string& message) {
    sink_.SetColour(kLogGreen);
    Entry("Finished " + message);
}

void CleaningLog::StepError(const std::string& message) {
    sink_.SetColour(kLogRed);
    Entry("Error in " + message + " ...");
    sink_.SetColour(kLogBlue);
}

void CleaningLog::ErrorEntry(const std::string& text) {
    sink_.SetColour(kLogRed);
    Entry(text);
    sink_.SetColour(kLogBlue);
}

void CleaningLog::WalkError(const std::string& description) {
    sink_.SetColour(kLogRed);
    sink_.InsertAtCaret(platform::EscapeControls(description) + "\r\n");
    sink_.SetColour(kLogBlue);
}

void CleaningLog::Done() {
    sink_.SetColour(kLogBlack);
    sink_.InsertAtCaret("\r\nDone");
}

}  // namespace orvelle::cleaning
