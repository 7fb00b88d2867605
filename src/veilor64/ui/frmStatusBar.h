#pragma once

#include <QWidget>

class QGroupBox;

namespace orvelle::veilor64 {

class QelProgressBar;

// The library's progress window: a fixed-size window holding one frame with the
// progress bar. It has no behaviour of its own; the cipher operations set its
// caption and the bar's Percent. Sizes are the designer's twips, converted with
// the screen's logical resolution.
class frmStatusBar final : public QWidget {
    Q_OBJECT

public:
    // Client area, frame and bar in twips.
    static constexpr int kClientWidth = 3240;
    static constexpr int kClientHeight = 435;

    explicit frmStatusBar(QWidget* parent = nullptr);

    // Moves the window to the centre of its screen.
    void CenterOnScreen();

    // Widens the window, its frame and its bar (never narrows them) so that the title
    // bar shows `widest`, the longest caption it will carry, whole beside the window
    // manager's buttons; centred again when it grew.
    void FitTitle(const QString& widest);

    QGroupBox* const fraProgress;
    QelProgressBar* const QelProgressBar1;
};

}  // namespace orvelle::veilor64
