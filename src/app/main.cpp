#include "AppIcon.h"
#include "PosixServices.h"
#include "StartProgram.h"
#include "TerminationWatcher.h"
#include "frmMain.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    using namespace orvelle;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvelle"));
    QApplication::setDesktopFileName(QStringLiteral("org.orvelle.Orvelle"));
    QApplication::setWindowIcon(shell::AppIcon());
    // The main window hides to the notification area; only its unload step ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    app::PosixServices posix;
    std::unique_ptr<shell::frmMain> mainWindow;
    const bool running = shell::StartProgram(
        posix.instanceLock, posix.messageBox, posix.profile, posix.process, [&] {
            mainWindow = std::make_unique<shell::frmMain>(posix.services);
            mainWindow->Form_Load();
            mainWindow->show();
            if (const std::string notice = posix.StoreNotice(); !notice.empty()) {
                mainWindow->ShowStoreNotice(notice, posix.StoreUnreadable());
                posix.OptionsShown();
            }
        });
    if (!running) {
        return 0;
    }

    // The unload step has run: the event loop ends, and so does work that is yielding to
    // it (a cleaning run) at its next yield point.
    QObject::connect(mainWindow.get(), &shell::frmMain::processEnding, &application, [&] {
        QCoreApplication::exit(0);
        posix.eventPump.EndAtNextYield(0);
    });
    // Log-off, shutdown and kill requests end the program through its unload step.
    platform::posix::TerminationWatcher termination;
    QObject::connect(&termination, &platform::posix::TerminationWatcher::terminationRequested,
                     mainWindow.get(), [&] { mainWindow->Unload(shell::vbAppWindows); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, mainWindow.get(),
                     [&] { mainWindow->Unload(shell::vbAppWindows); });
    return QApplication::exec();
}
