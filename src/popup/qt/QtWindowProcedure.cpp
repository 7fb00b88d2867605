#include "QtWindowProcedure.h"

#include "WindowMessageEvent.h"
#include "popup/HookLibrary.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

#include <optional>
#include <utility>

namespace orvelle::popup::qt {
namespace {

constexpr const char* kFilterName = "orvelleWindowProcedure";

struct Message {
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// The key as the original platform's virtual-key code where the two agree (letters,
// digits), Qt's key code otherwise; never the hot-key marker.
std::uintptr_t VirtualKey(const QKeyEvent& event) {
    const auto key = static_cast<std::uintptr_t>(event.key());
    return key == kHotKeyMarker ? 0 : key;
}

std::optional<Message> MessageOf(const QEvent& event) {
    if (event.type() == WindowMessageEvent::Type()) {
        const auto& posted = static_cast<const WindowMessageEvent&>(event);
        return Message{posted.Message(), posted.WParam(), posted.LParam()};
    }
    if (event.type() == QEvent::KeyPress || event.type() == QEvent::KeyRelease) {
        const auto& key = static_cast<const QKeyEvent&>(event);
        // lParam as the platform packs it: repeat count 1, bit 30 set for a held key.
        const std::intptr_t lParam = 1 | (key.isAutoRepeat() ? (std::intptr_t{1} << 30) : 0);
        return Message{event.type() == QEvent::KeyPress ? WM_KEYDOWN : WM_KEYUP, VirtualKey(key),
                       lParam};
    }
    return std::nullopt;
}

// Installed on a widget once; holds the widget's current procedure.
class ProcedureFilter final : public QObject {
public:
    ProcedureFilter(QWidget* widget, desktop::WindowHandle window)
        : QObject(widget), window_(window) {
        setObjectName(QString::fromLatin1(kFilterName));
        current_ = OwnHandling();
        widget->installEventFilter(this);
    }

    WindowProc Swap(WindowProc procedure) {
        WindowProc previous = std::move(current_);
        current_ = procedure ? std::move(procedure) : OwnHandling();
        return previous;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent()) {
            return false;
        }
        const auto message = MessageOf(*event);
        if (!message) {
            return false;
        }
        bool passedOn = false;
        bool* const outer = std::exchange(passedOn_, &passedOn);
        // A copy: the procedure may replace itself while it runs.
        const WindowProc procedure = current_;
        procedure(window_, message->message, message->wParam, message->lParam);
        passedOn_ = outer;
        return !passedOn;
    }

private:
    // The widget's own handling: the event goes on to the widget.
    WindowProc OwnHandling() {
        return [this](desktop::WindowHandle, std::uint32_t, std::uintptr_t,
                      std::intptr_t) -> std::intptr_t {
            if (passedOn_ != nullptr) {
                *passedOn_ = true;
            }
            return 0;
        };
    }

    desktop::WindowHandle window_;
    WindowProc current_;
    bool* passedOn_ = nullptr;
};

QWidget* WidgetOf(desktop::WindowHandle window) {
    return window == 0 ? nullptr : QWidget::find(static_cast<WId>(window));
}

}  // namespace

WindowProc QtWindowProcedure::SetWindowLongA(desktop::WindowHandle window, WindowProc procedure) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return {};
    }
    // The object name is ours alone, so the child found is our filter.
    auto* filter = static_cast<ProcedureFilter*>(
        widget->findChild<QObject*>(QString::fromLatin1(kFilterName), Qt::FindDirectChildrenOnly));
    if (filter == nullptr) {
        filter = new ProcedureFilter(widget, window);  // owned by the widget
    }
    return filter->Swap(std::move(procedure));
}

bool QtWindowProcedure::PostMessageA(desktop::WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam) {
    QWidget* widget = WidgetOf(window);
    if (widget == nullptr) {
        return false;
    }
    QCoreApplication::postEvent(widget, new WindowMessageEvent(message, wParam, lParam));
    return true;
}

}  // namespace orvelle::popup::qt
