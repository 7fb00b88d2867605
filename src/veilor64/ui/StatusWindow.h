#pragma once

#include "Progress.h"
#include "kit/Throttle.h"

#include <chrono>
#include <cstdint>
#include <memory>

namespace orvelle::veilor64 {

class frmStatusBar;

// The progress window as the cipher drives it. The window exists only while an
// operation runs, and only when a Qt application runs on the calling thread;
// without one (a command-line host) every step is a no-op. Letting events run
// and repainting are limited to one per interval; the points in between are
// counted but not shown.
class StatusWindow final : public IProgressSink {
public:
    static constexpr std::chrono::milliseconds kDefaultInterval{15};

    explicit StatusWindow(std::chrono::steady_clock::duration interval = kDefaultInterval,
                          kit::Throttle::Clock clock = &std::chrono::steady_clock::now);
    ~StatusWindow() override;
    StatusWindow(const StatusWindow&) = delete;
    StatusWindow& operator=(const StatusWindow&) = delete;

    void Show() override;
    void Point(const ProgressPoint& point) override;
    void Close() noexcept override;

    // The window while it exists.
    [[nodiscard]] frmStatusBar* Window() const noexcept { return window_.get(); }

    // Whether windows can be shown from the calling thread.
    [[nodiscard]] static bool WindowsAvailable();

private:
    std::unique_ptr<frmStatusBar> window_;
    kit::Throttle throttle_;
    // The total the window's width was fitted to (0: none yet).
    std::uint64_t fittedTotal_ = 0;
};

}  // namespace orvelle::veilor64
