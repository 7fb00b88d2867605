#include "AppIcon.h"
#include "FileHandOver.h"
#include "NoCoreDumps.h"
#include "ProgramServices.h"
#include "StartProgram.h"
#include "TerminationWatcher.h"
#include "frmMain.h"

#include <QApplication>

#include <filesystem>
#include <memory>

int main(int argc, char** argv) {
    using namespace orvelle;
    // Passphrases typed on the File Security page never reach a core file.
    static_cast<void>(os::posix::DisableCoreDumps());
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvelle"));
    QApplication::setDesktopFileName(QStringLiteral("org.orvelle.Orvelle"));
    QApplication::setWindowIcon(shell::AppIcon());
    // The main window hides to the notification area; only its unload step ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    wiring::ProgramServices posix;
    std::unique_ptr<shell::frmMain> mainWindow;
    // An encrypted file opened from the file manager: `orvelle FILE`. The running copy
    // (this one, or the one already running) shows it on the File Security page.
    const std::string file = argc > 1 ? std::filesystem::absolute(argv[1]).string() : "";
    const std::string handOverSocket =
        desktop::qt::HandOverSocketPath(posix.instanceLock.LockPath());
    const bool running = shell::StartProgram(
        posix.instanceLock, posix.messageBox, posix.profile, posix.core.process,
        [&] {
            mainWindow = std::make_unique<shell::frmMain>(posix.services);
            mainWindow->Form_Load();
            mainWindow->show();
            if (const std::string notice = posix.StoreNotice(); !notice.empty()) {
                mainWindow->ShowStoreNotice(notice, posix.StoreUnreadable());
                posix.OptionsShown();
            }
            if (!file.empty()) {
                mainWindow->OpenEncryptedFile(file);
            }
        },
        [&] { return !file.empty() && desktop::qt::FileHandOver::Send(handOverSocket, file); });
    if (!running) {
        return 0;
    }
    desktop::qt::FileHandOver handOver;
    static_cast<void>(handOver.Listen(
        handOverSocket, [&](const std::string& path) { mainWindow->OpenEncryptedFile(path); }));

    // The unload step has run: the event loop ends, and so does work that is yielding to
    // it (a cleaning run) at its next yield point.
    QObject::connect(mainWindow.get(), &shell::frmMain::processEnding, &application, [&] {
        QCoreApplication::exit(0);
        posix.eventPump.EndAtNextYield(0);
    });
    // Log-off, shutdown and kill requests end the program through its unload step.
    desktop::qt::TerminationWatcher termination;
    QObject::connect(&termination, &desktop::qt::TerminationWatcher::terminationRequested,
                     mainWindow.get(), [&] { mainWindow->Unload(shell::vbAppWindows); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, mainWindow.get(),
                     [&] { mainWindow->Unload(shell::vbAppWindows); });
    return QApplication::exec();
}
