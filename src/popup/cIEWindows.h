#pragma once

#include "Events.h"
#include "IE_Class.h"
#include "MonitorContext.h"
#include "PopupKillerState.h"
#include "browsers/BrowserSource.h"
#include "cIEWindowsEvents.h"
#include "desktop/KeyState.h"
#include "desktop/Sound.h"
#include "os/EventPump.h"
#include "os/ProcessInfo.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvelle::popup {

// What the window collection and its monitors work with.
struct TrackingServices {
    browsers::IBrowserWindowSource& source;
    os::IEventPump& eventPump;
    desktop::IKeyState& keys;
    desktop::ISound& sound;
    const os::IProcessInfo& process;
    PopupKillerState& popupKiller;
    // Module `Events`: the relay that carries the monitors' events here.
    Events& events;
};

// The open browser windows as a collection of monitors, one per window, keyed by
// the window handle in decimal and ordered as the source lists the windows. Every
// registration or revocation rebuilds it with new monitors and then raises
// IEWindowRegistered or IEWindowRevoked; the monitors' events come back through
// the relay and are raised again, tagged with the window handle.
class cIEWindows final : private browsers::IWindowListEvents {
public:
    explicit cIEWindows(TrackingServices services);
    ~cIEWindows() override;
    cIEWindows(const cIEWindows&) = delete;
    cIEWindows& operator=(const cIEWindows&) = delete;

    // The monitor at a 1-based position; waits out a rebuild (processing pending
    // events). Throws RuntimeError 9 for a position that is not present.
    [[nodiscard]] std::shared_ptr<IE_Class> IE(std::int32_t position);
    // The monitor of the window whose handle in decimal is `key`; waits out a
    // rebuild. Throws RuntimeError 5 for a key that is not present.
    [[nodiscard]] std::shared_ptr<IE_Class> IE(const std::string& key);
    // The number of monitors (does not wait).
    [[nodiscard]] std::int32_t Count() const noexcept;
    // The monitors in collection order; they stay alive while the caller holds them.
    [[nodiscard]] std::vector<std::shared_ptr<IE_Class>> NewEnum() const { return items_; }
    // True while the collection is being rebuilt.
    [[nodiscard]] bool Busy() const noexcept { return busy_; }

    // Listeners of the collection's events; a listener must be removed before it dies.
    void AddListener(cIEWindowsEvents* listener);
    void RemoveListener(cIEWindowsEvents* listener);

    // The source's notifications (the cookie is not used).
    void winShell_WindowRegistered(std::int32_t lCookie);
    void winShell_WindowRevoked(std::int32_t lCookie);

private:
    friend class Events;

    void WindowRegistered(std::int32_t lCookie) override { winShell_WindowRegistered(lCookie); }
    void WindowRevoked(std::int32_t lCookie) override { winShell_WindowRevoked(lCookie); }

    // Raises the event of a relayed monitor event; arguments of the wrong number or
    // type raise nothing.
    void DispatchIEEvent(std::int32_t code, std::int32_t hwnd, RelayArguments& arguments);
    void RefreshWindows();
    void AddWindow(const std::shared_ptr<browsers::IBrowserWindow>& window);
    void WaitWhileBusy();
    template <typename Raise>
    void RaiseEvent(Raise&& raise);

    browsers::IBrowserWindowSource& source_;
    os::IEventPump& eventPump_;
    std::shared_ptr<MonitorContext> context_;
    std::vector<std::shared_ptr<IE_Class>> items_;
    std::map<std::string, std::size_t> keys_;
    bool busy_ = false;
    std::vector<cIEWindowsEvents*> listeners_;
};

}  // namespace orvelle::popup
