#include "cIEWindows.h"

#include "os/RuntimeError.h"

#include <algorithm>
#include <exception>
#include <tuple>
#include <utility>

namespace orvelle::popup {

using browsers::BrowserDispatch;
using os::RuntimeError;

namespace {

// Reads the relayed arguments as the types an event takes: all of them present,
// each of its type, or nothing.
template <typename... Pointers>
bool TakeArguments(RelayArguments& arguments, Pointers*&... out) {
    if (arguments.size() != sizeof...(Pointers)) {
        return false;
    }
    std::size_t index = 0;
    bool ok = true;
    (
        [&] {
            auto* held = std::get_if<Pointers*>(&arguments[index++]);
            out = held != nullptr ? *held : nullptr;
            ok = ok && out != nullptr;
        }(),
        ...);
    return ok;
}

}  // namespace

cIEWindows::cIEWindows(TrackingServices services)
    : source_(services.source),
      eventPump_(services.eventPump),
      // Braced: clang (and so clang-tidy) has no parenthesised aggregate initialisation yet.
      context_(std::make_shared<MonitorContext>(
          MonitorContext{services.keys, services.sound, services.process, services.popupKiller,
                         services.events})) {
    context_->events.instance_ = this;
    source_.Connect(this);
    RefreshWindows();
}

cIEWindows::~cIEWindows() {
    items_.clear();
    keys_.clear();
    source_.Disconnect(this);
    // A monitor that somebody still holds relays into nothing from now on.
    if (context_->events.instance_ == this) {
        context_->events.instance_ = nullptr;
    }
}

std::shared_ptr<IE_Class> cIEWindows::IE(std::int32_t position) {
    WaitWhileBusy();
    if (position < 1 || position > Count()) {
        throw RuntimeError(os::errors::kSubscriptOutOfRange, "Subscript out of range");
    }
    return items_[static_cast<std::size_t>(position) - 1];
}

std::shared_ptr<IE_Class> cIEWindows::IE(const std::string& key) {
    WaitWhileBusy();
    const auto found = keys_.find(key);
    if (found == keys_.end()) {
        throw RuntimeError(os::errors::kInvalidProcedureCall,
                           "Invalid procedure call or argument: no browser window " + key);
    }
    return items_[found->second];
}

std::int32_t cIEWindows::Count() const noexcept {
    return static_cast<std::int32_t>(items_.size());
}

void cIEWindows::AddListener(cIEWindowsEvents* listener) {
    if (listener != nullptr &&
        std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void cIEWindows::RemoveListener(cIEWindowsEvents* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

template <typename Raise>
void cIEWindows::RaiseEvent(Raise&& raise) {
    // A listener may add or remove listeners while the event is raised.
    const auto listeners = listeners_;
    for (cIEWindowsEvents* listener : listeners) {
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end()) {
            raise(*listener);
        }
    }
}

void cIEWindows::WaitWhileBusy() {
    while (busy_) {
        eventPump_.DoEvents();
    }
}

void cIEWindows::RefreshWindows() {
    busy_ = true;
    // Every monitor goes, and disconnects from its window, before the new ones come.
    items_.clear();
    keys_.clear();
    std::vector<std::shared_ptr<browsers::IBrowserWindow>> windows;
    try {
        windows = source_.Windows();
    } catch (const std::exception&) {
        // A source that cannot list its windows leaves the collection empty.
    }
    for (const auto& window : windows) {
        AddWindow(window);
    }
    busy_ = false;
}

void cIEWindows::AddWindow(const std::shared_ptr<browsers::IBrowserWindow>& window) {
    try {
        auto monitor = std::make_shared<IE_Class>(context_);
        monitor->IEctl(window);
        if (monitor->IEHandle() == 0) {
            return;  // a window without a handle cannot be keyed
        }
        const std::string key = std::to_string(monitor->IEHandle());
        if (keys_.count(key) != 0) {
            return;  // a second window with a used handle is dropped with its monitor
        }
        keys_.emplace(key, items_.size());
        items_.push_back(std::move(monitor));
    } catch (const std::exception&) {
        // A window that cannot be turned into a monitor is left out.
    }
}

void cIEWindows::winShell_WindowRegistered(std::int32_t /*lCookie*/) {
    RefreshWindows();
    WaitWhileBusy();
    RaiseEvent([](cIEWindowsEvents& listener) { listener.IEWindowRegistered(); });
}

void cIEWindows::winShell_WindowRevoked(std::int32_t /*lCookie*/) {
    RefreshWindows();
    WaitWhileBusy();
    RaiseEvent([](cIEWindowsEvents& listener) { listener.IEWindowRevoked(); });
}

void cIEWindows::DispatchIEEvent(std::int32_t code, std::int32_t hwnd, RelayArguments& arguments) {
    switch (code) {
    case relayBeforeNavigate2: {
        const BrowserDispatch* pDisp = nullptr;
        const std::string* url = nullptr;
        std::int32_t* flags = nullptr;
        const std::string* targetFrameName = nullptr;
        const std::string* postData = nullptr;
        const std::string* headers = nullptr;
        bool* cancel = nullptr;
        if (TakeArguments(arguments, pDisp, url, flags, targetFrameName, postData, headers,
                          cancel)) {
            RaiseEvent([&](cIEWindowsEvents& listener) {
                listener.IENavigationBegin(hwnd, *pDisp, *url, *flags, *targetFrameName, *postData,
                                           *headers, *cancel);
            });
        }
        break;
    }
    case relayNavigateComplete2:
    case relayDocumentComplete: {
        const BrowserDispatch* pDisp = nullptr;
        const std::string* url = nullptr;
        if (TakeArguments(arguments, pDisp, url)) {
            RaiseEvent([&](cIEWindowsEvents& listener) {
                if (code == relayNavigateComplete2) {
                    listener.IENavigationComplete(hwnd, *pDisp, *url);
                } else {
                    listener.IEDocumentComplete(hwnd, *pDisp, *url);
                }
            });
        }
        break;
    }
    case relayDownloadBegin:
        if (arguments.empty()) {
            RaiseEvent([&](cIEWindowsEvents& listener) { listener.IEDownloadBegin(hwnd); });
        }
        break;
    case relayDownloadComplete:
        if (arguments.empty()) {
            RaiseEvent([&](cIEWindowsEvents& listener) { listener.IEDownloadComplete(hwnd); });
        }
        break;
    case relayContextMenu:
        if (arguments.empty()) {
            RaiseEvent([&](cIEWindowsEvents& listener) { listener.IEOnContextMenu(hwnd); });
        }
        break;
    case relayMouseDown:
    case relayMouseUp: {
        std::int16_t* button = nullptr;
        std::int16_t* shift = nullptr;
        float* x = nullptr;
        float* y = nullptr;
        if (TakeArguments(arguments, button, shift, x, y)) {
            RaiseEvent([&](cIEWindowsEvents& listener) {
                if (code == relayMouseDown) {
                    listener.IEMouseDown(hwnd, *button, *shift, *x, *y);
                } else {
                    listener.IEMouseUp(hwnd, *button, *shift, *x, *y);
                }
            });
        }
        break;
    }
    case relayCommandStateChange: {
        std::int32_t* command = nullptr;
        bool* enable = nullptr;
        if (TakeArguments(arguments, command, enable)) {
            RaiseEvent([&](cIEWindowsEvents& listener) {
                listener.IECommandStateChange(hwnd, *command, *enable);
            });
        }
        break;
    }
    default:
        break;  // unknown codes raise nothing
    }
}

}  // namespace orvelle::popup
