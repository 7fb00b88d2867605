#pragma once

#include "browsers/BrowserSource.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace orvelle::popup {

class cIEWindows;

// The codes a window monitor relays its window's events with.
enum RelayCode : std::int32_t {
    relayBeforeNavigate2 = 1,     // pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel
    relayNavigateComplete2 = 2,   // pDisp, URL
    relayDownloadBegin = 3,       // none
    relayDownloadComplete = 4,    // none
    relayDocumentComplete = 5,    // pDisp, URL
    relayMouseDown = 6,           // Button, Shift, X, Y
    relayMouseUp = 7,             // Button, Shift, X, Y
    relayContextMenu = 8,         // none
    relayCommandStateChange = 9,  // Command, Enable
};

// One relayed argument, by reference: the monitor's own variable.
using RelayArgument = std::variant<const browsers::BrowserDispatch*, const std::string*,
                                   std::int32_t*, std::int16_t*, float*, bool*>;
using RelayArguments = std::vector<RelayArgument>;

// Module `Events`: carries a monitor's events to the one window collection. It
// holds a non-owning reference to the collection, set when the collection is
// created (and cleared when it goes); monitors hold the relay, never the collection.
// One instance for the process, owned with the popup killer's state and outliving
// the collection and its monitors.
class Events {
public:
    Events() = default;
    Events(const Events&) = delete;
    Events& operator=(const Events&) = delete;

    // Relays an event of the window `hwnd`. A code it does not know travels with an
    // empty list and raises nothing; without a collection nothing happens.
    void RelayIEEvent(std::int32_t code, std::int32_t hwnd, RelayArguments arguments);

private:
    friend class cIEWindows;
    cIEWindows* instance_ = nullptr;
};

}  // namespace orvelle::popup
