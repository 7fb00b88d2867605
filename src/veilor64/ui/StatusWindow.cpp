#include "StatusWindow.h"

#include "QelProgressBar.h"
#include "frmStatusBar.h"

#include <QApplication>
#include <QThread>

namespace orvelle::veilor64 {

StatusWindow::StatusWindow(std::chrono::steady_clock::duration interval, kit::Throttle::Clock clock)
    : throttle_(interval, std::move(clock)) {
}

StatusWindow::~StatusWindow() {
    Close();
}

bool StatusWindow::WindowsAvailable() {
    const auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    return application != nullptr && QThread::currentThread() == application->thread();
}

void StatusWindow::Show() {
    if (!window_) {
        if (!WindowsAvailable()) {
            return;
        }
        window_ = std::make_unique<frmStatusBar>();
        window_->CenterOnScreen();
        window_->show();
        // Once shown the frame's size is known: centre the whole window.
        window_->CenterOnScreen();
    }
    window_->show();
    throttle_.Restart();
}

void StatusWindow::Point(const ProgressPoint& point) {
    if (!window_ || !throttle_.Due()) {
        return;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (window_ && point.total != fittedTotal_) {
        // The caption is longest at the end: fit that one once, so the title is never cut.
        fittedTotal_ = point.total;
        window_->FitTitle(
            QString::fromStdString(ProgressCaption(MakeProgressPoint(point.total, point.total))));
    }
    if (window_) {
        window_->setWindowTitle(QString::fromStdString(ProgressCaption(point)));
        window_->QelProgressBar1->SetPercent(point.percent);
    }
}

void StatusWindow::Close() noexcept {
    if (window_) {
        window_->setWindowTitle(QString::fromUtf8(kStatusBarCaption));
        window_->hide();
        window_.reset();
        fittedTotal_ = 0;
    }
}

}  // namespace orvelle::veilor64
