#include "BrowserSettings.h"
#include "CleanSession.h"
#include "CleanVerbs.h"
#include "CleaningLog.h"
#include "CleaningRun.h"
#include "CleaningSteps.h"
#include "CleaningTraces.h"
#include "CommandText.h"
#include "FolderErasers.h"
#include "HistoryErasers.h"

namespace orvelle::cleancli {
namespace {

// The lock for this clean: taken at once, or after the clean that holds it, or (with
// --no-wait) not at all, which is said.
bool TakeLock(os::ICleaningLock& lock, bool noWait, const CommandOutput& output) {
    const std::string holder = lock.TryLock();
    if (holder.empty()) {
        return true;
    }
    if (noWait) {
        output.err << kCommandName << ": another clean is running (" << holder
                   << "): not cleaned\n";
        return false;
    }
    output.err << kCommandName << ": another clean is running (" << holder
               << "); waiting for it to finish\n"
               << std::flush;
    lock.Lock();
    return true;
}

// The cleaning run as the Clean buttons start it, over the cleaning bundle, logging
// lines instead of a log window.
void CleanOnce(Session& session, const cleaning::CleaningServices& services, os::IEventPump& pump,
               cleaning::ILogSink& sink) {
    CommandHost host;
    cleaning::CleaningLog log(sink);
    cleaning::CleaningTraces traces(services.traces, log);
    cleaning::BrowserSettings browser(services.settings, services.messageBox, session.Layer(),
                                      services.traces);
    cleaning::FolderErasers folders(services.folderTree, services.shellFolders, services.tempPath,
                                    services.messageBox, log, pump, host, traces);
    cleaning::HistoryErasers histories(services.registry, services.recycleBin, services.messageBox,
                                       log, traces);
    cleaning::CleaningSteps steps(folders, histories, browser, services.clipboard, traces);
    cleaning::CleaningRun run(session.Options(), steps, host, log, services.clock, pump,
                              services.messageBox, services.cleaningLock);
    run.cmdBasicClean_Click();
}

}  // namespace

int RunVerb::Act(Session& session) {
    const CommandOutput& output = session.Output();
    wiring::CleaningBackends& backends = session.Backends();
    os::posix::FlockCleaningLock& lock = backends.CleaningLock();
    if (!TakeLock(lock, Arguments().noWait, output)) {
        return 3;
    }
    NoEventPump pump;
    const std::unique_ptr<desktop::IClipboard> clipboard = wiring::WindowlessClipboard();
    LineLogSink sink([&session](const std::string& text, cleaning::LogColour colour) {
        if (colour == cleaning::kLogRed) {
            session.Red(text);
            return;
        }
        session.Output().out << Coloured(text, colour, session.Output().outIsTerminal) << "\n"
                             << std::flush;
    });
    CleanOnce(session, backends.Cleaning(session.MessageBox(), pump, *clipboard), pump, sink);
    lock.Unlock();
    if (session.Problems() > 0) {
        output.out << session.Problems() << (session.Problems() == 1 ? " problem" : " problems")
                   << ": see the red lines above\n"
                   << std::flush;
        return 1;
    }
    return 0;
}

}  // namespace orvelle::cleancli
