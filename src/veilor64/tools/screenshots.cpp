// Renders the library's progress window and progress bar to PNG files, in the
// states an operation shows them, so that a person can look at them.
//
//   veilor64-screenshots [OUTPUT-FOLDER]     (default: ./screenshots)

#include "Progress.h"
#include "QelProgressBar.h"
#include "frmStatusBar.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

namespace {

bool Save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    const bool saved = widget.grab().save(path);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write",
                 qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvelle::veilor64;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const QString output =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    if (!QDir().mkpath(output)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(output));
        return 1;
    }
    bool ok = true;

    // The window as every operation opens it, then at a progress point.
    frmStatusBar window;
    window.show();
    ok = Save(window, output + QStringLiteral("/frmStatusBar-start.png")) && ok;
    const ProgressPoint point =
        MakeProgressPoint(std::uint64_t{5} * 7168 * 150, std::uint64_t{14} * 7168 * 150);
    window.setWindowTitle(QString::fromStdString(ProgressCaption(point)));
    window.QelProgressBar1->SetPercent(point.percent);
    ok = Save(window, output + QStringLiteral("/frmStatusBar-35-percent.png")) && ok;

    // The bar on its own, in the states its properties give it.
    QelProgressBar bar;
    bar.resize(240, 26);
    bar.show();
    bar.SetMax(8);
    bar.SetValue(3);
    ok = Save(bar, output + QStringLiteral("/QelProgressBar-38-percent.png")) && ok;
    bar.SetPercent(100);
    ok = Save(bar, output + QStringLiteral("/QelProgressBar-full.png")) && ok;
    bar.SetBackColor(0xFFFFFF);
    bar.SetFillColor(0x00C000);
    bar.SetPercent(64);
    ok = Save(bar, output + QStringLiteral("/QelProgressBar-colours.png")) && ok;
    bar.Reset();
    ok = Save(bar, output + QStringLiteral("/QelProgressBar-reset.png")) && ok;
    return ok ? 0 : 1;
}
