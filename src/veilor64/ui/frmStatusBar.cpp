#include "frmStatusBar.h"

#include "MemoryPropertyBag.h"
#include "Progress.h"
#include "QelProgressBar.h"
#include "Twips.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QScreen>

namespace orvelle::veilor64 {

frmStatusBar::frmStatusBar(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      fraProgress(new QGroupBox(this)),
      QelProgressBar1(new QelProgressBar(fraProgress)) {
    setObjectName(QStringLiteral("frmStatusBar"));
    fraProgress->setObjectName(QStringLiteral("fraProgress"));
    QelProgressBar1->setObjectName(QStringLiteral("QelProgressBar1"));
    setWindowTitle(QString::fromUtf8(kStatusBarCaption));

    const QScreen* display = screen();
    const double dpiX = display != nullptr ? display->logicalDotsPerInchX() : 96.0;
    const double dpiY = display != nullptr ? display->logicalDotsPerInchY() : 96.0;
    const auto x = [dpiX](int twips) { return TwipsToPixels(twips, dpiX); };
    const auto y = [dpiY](int twips) { return TwipsToPixels(twips, dpiY); };
    setFixedSize(x(kClientWidth), y(kClientHeight));
    // The frame starts above the client area so that its top edge, where a
    // caption would sit, is hidden.
    fraProgress->setGeometry(x(0), y(-90), x(3255), y(535));
    QelProgressBar1->setGeometry(x(30), y(120), x(3200), y(380));

    // The bar's designed properties, loaded as a form loads its controls.
    MemoryPropertyBag designed(QVariantMap{{QStringLiteral("BackColor"), 0xFFFFFFu}});
    QelProgressBar1->ReadProperties(designed);
}

void frmStatusBar::FitTitle(const QString& widest) {
    // Title bars use a font like the application's, often bold (a quarter wider), and
    // keep room for an icon and three buttons.
    constexpr int kTitleBarButtons = 120;
    const int needed =
        QFontMetrics(QApplication::font()).horizontalAdvance(widest) * 5 / 4 + kTitleBarButtons;
    const int grow = needed - width();
    if (grow <= 0) {
        return;
    }
    setFixedSize(width() + grow, height());
    fraProgress->resize(fraProgress->width() + grow, fraProgress->height());
    QelProgressBar1->resize(QelProgressBar1->width() + grow, QelProgressBar1->height());
    CenterOnScreen();
}

void frmStatusBar::CenterOnScreen() {
    const QScreen* display = screen();
    if (display == nullptr) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(display->availableGeometry().center());
    move(frame.topLeft());
}

}  // namespace orvelle::veilor64
