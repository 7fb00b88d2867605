// The preview window over one folder (option 11, the temporary folder from $TMPDIR):
// prints the seconds from Start until the list is filled and the longest time the
// window went without answering events, in milliseconds. bench/run-preview runs it.

#include "CleanPreview.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeShellFolders.h"
#include "FakeStore.h"
#include "FakeTraceCatalog.h"
#include "PosixTempPath.h"
#include "SqliteRegistry.h"
#include "frmPreview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    using namespace orvelle;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    traces::fake::FakeTraceCatalog catalog;
    store::SqliteRegistry registry(":memory:");
    os::fake::FakeShellFolders shellFolders;
    os::posix::PosixTempPath tempPath;
    shell::frmPreview preview(
        {11},
        [&](int index, const cleancli::ScanProgress& progress) {
            cleancli::PreviewSources sources{catalog,  registry, shellFolders,
                                             tempPath, {},       progress};
            return cleancli::BuildPreview({index}, sources);
        },
        nullptr);
    preview.show();

    // A timer that wants to run every 5 ms: the longest wait between two of its turns
    // is how long the window could not answer.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticks;
    ticks.setInterval(5);
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });

    QElapsedTimer wall;
    QObject::connect(&preview, &shell::frmPreview::Filled, [&] {
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        std::printf("%.6f %lld\n", seconds, static_cast<long long>(longestGap));
        QApplication::quit();
    });
    QTimer::singleShot(0, [&] {
        sinceTick.start();
        ticks.start();
        wall.start();
        preview.Start();
    });
    return QApplication::exec();
}
