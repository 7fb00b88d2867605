#pragma once

#include <QEvent>

#include <cstdint>

namespace orvelle::popup::qt {

// A window message posted to one of the program's widgets (the hot-key marker travels in
// one); the widget's message procedure sees it, the widget itself ignores it.
class WindowMessageEvent final : public QEvent {
public:
    WindowMessageEvent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
        : QEvent(Type()), message_(message), wParam_(wParam), lParam_(lParam) {}

    // The event type, registered with Qt once.
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    [[nodiscard]] std::uint32_t Message() const noexcept { return message_; }
    [[nodiscard]] std::uintptr_t WParam() const noexcept { return wParam_; }
    [[nodiscard]] std::intptr_t LParam() const noexcept { return lParam_; }

private:
    std::uint32_t message_;
    std::uintptr_t wParam_;
    std::intptr_t lParam_;
};

}  // namespace orvelle::popup::qt
