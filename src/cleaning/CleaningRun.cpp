#include "CleaningRun.h"

#include "ErrorBox.h"
#include "OptionTable.h"

#include <cstdio>

namespace orvelle::cleaning {

namespace {

// Gives the cleaning lock back however the run ends.
class LockTaken {
public:
    explicit LockTaken(os::ICleaningLock& lock) : lock_(lock) {}
    LockTaken(const LockTaken&) = delete;
    LockTaken& operator=(const LockTaken&) = delete;
    ~LockTaken() { lock_.Unlock(); }

private:
    os::ICleaningLock& lock_;
};

// Clears the running flag however the run ends.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
    ~RunningFlag() { flag_ = false; }

private:
    bool& flag_;
};

std::string TimeOfDay(const os::LocalDateTime& now) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", now.hour, now.minute, now.second);
    return text;
}

}  // namespace

std::string CleaningRun::FinalStatus(int redEntries) {
    if (redEntries == 0) {
        return "Ready";
    }
    return "Ready, with " + std::to_string(redEntries) +
           (redEntries == 1 ? " problem" : " problems") + ": see the red entries in the log";
}

std::string CleaningRun::StepMessage(int index) {
    return OptionAt(index).message;
}

void CleaningRun::PerformStep(int index) {
    const std::string message = StepMessage(index);
    switch (OptionAt(index).step) {
    case OptionStep::TypedURLs:
        steps_.EraseTypedURLs(message);
        break;
    case OptionStep::RecentFiles:
        steps_.EraseRecentFiles(message);
        break;
    case OptionStep::MyDocuments:
        steps_.EraseMyDocuments(message);
        break;
    case OptionStep::RecycleBin:
        steps_.EmptyRecycleBin(message);
        break;
    case OptionStep::InternetCache:
        steps_.EraseInternetCache(message);
        break;
    case OptionStep::Cookies:
        steps_.EraseCookies(message);
        break;
    case OptionStep::Favorites:
        steps_.EraseFavorites(message);
        break;
    case OptionStep::InternetHistory:
        steps_.EraseInternetHistory(message);
        break;
    case OptionStep::WindowsTemp:
        steps_.EraseWindowsTemp(message);
        break;
    case OptionStep::Clipboard:
        steps_.ClearClipboard();
        break;
    case OptionStep::RunHistory:
        steps_.EraseRunHistory(message);
        break;
    case OptionStep::ScriptDebugger:
        steps_.DisableScriptDebugger();
        break;
    case OptionStep::ScriptDebuggerX:
        steps_.DisableScriptDebuggerX();
        break;
    case OptionStep::None:
        break;  // the option only carries a state
    }
}

void CleaningRun::cmdBasicClean_Click() {
    if (running_) {
        return;
    }
    const RunningFlag running(running_);
    refusedByLock_ = false;
    shell::RunTrapped(messageBox_, [&] {
        if (host_.IsSchedulePending()) {
            return;
        }
        if (const std::string holder = lock_.TryLock(); !holder.empty()) {
            // Only the status line: a schedule that stays due tries again quietly.
            host_.SetStatus("Another clean is running (" + holder + "): not cleaned");
            refusedByLock_ = true;
            return;
        }
        const LockTaken taken(lock_);
        host_.SetLastRunTime(TimeOfDay(clock_.Now()));
        host_.ShowMainPage();
        log_.Clear();
        host_.SetScheduleTimerEnabled(false);
        host_.SetScheduleEnableTimerEnabled(false);
        for (int index = 0; index < CleaningOptions::kCount; ++index) {
            // Read when the run reaches it: a box changed during the run still counts.
            if (options_.Value(index) == 1) {
                PerformStep(index);
            }
            log_.Repaint();
            eventPump_.DoEvents();
        }
        log_.Done();
        host_.SetStatus(FinalStatus(log_.RedEntries()));
        host_.SetScheduleEnableTimerEnabled(true);
    });
}

}  // namespace orvelle::cleaning
