#include "CleaningRun.h"

#include "ErrorBox.h"

#include <cstdio>

namespace orvelle::cleaning {

namespace {

// Gives the cleaning lock back however the run ends.
class LockTaken {
public:
    explicit LockTaken(platform::ICleaningLock& lock) : lock_(lock) {}
    LockTaken(const LockTaken&) = delete;
    LockTaken& operator=(const LockTaken&) = delete;
    ~LockTaken() { lock_.Unlock(); }

private:
    platform::ICleaningLock& lock_;
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

std::string TimeOfDay(const platform::LocalDateTime& now) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", now.hour, now.minute, now.second);
    return text;
}

}  // namespace

std::string CleaningRun::StepMessage(int index) {
    switch (index) {
    case 2:
        return "Erasing 'Auto Complete' Site Addresses";
    case 3:
        return "Erasing Recent Files";
    case 4:
        return "Erasing My Documents Files";
    case 5:
        return "Erasing Contents of Recycle Bin";
    case 6:
        return "Erasing Internet Cashe";
    case 7:
        return "Erasing Browser Cookies";
    case 8:
        return "Erasing Browser Favorites";
    case 9:
        return "Erasing Internet History";
    case 11:
        return "Erasing Windows Temporary Files";
    case 13:
        return "Erasing Windows Start Run History";
    default:
        return {};
    }
}

void CleaningRun::PerformStep(int index) {
    const std::string message = StepMessage(index);
    switch (index) {
    case 2:
        steps_.EraseTypedURLs(message);
        break;
    case 3:
        steps_.EraseRecentFiles(message);
        break;
    case 4:
        steps_.EraseMyDocuments(message);
        break;
    case 5:
        steps_.EmptyRecycleBin(message);
        break;
    case 6:
        steps_.EraseInternetCache(message);
        break;
    case 7:
        steps_.EraseCookies(message);
        break;
    case 8:
        steps_.EraseFavorites(message);
        break;
    case 9:
        steps_.EraseInternetHistory(message);
        break;
    case 11:
        steps_.EraseWindowsTemp(message);
        break;
    case 12:
        steps_.ClearClipboard();
        break;
    case 13:
        steps_.EraseRunHistory(message);
        break;
    case 14:
        steps_.DisableScriptDebugger();
        break;
    case 15:
        steps_.DisableScriptDebuggerX();
        break;
    default:
        break;  // 0, 1 and 10 only carry a state
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
        host_.SetStatus("Ready");
        host_.SetScheduleEnableTimerEnabled(true);
    });
}

}  // namespace orvelle::cleaning
