#include "Events.h"

#include "cIEWindows.h"

namespace orvelle::popup {

void Events::RelayIEEvent(std::int32_t code, std::int32_t hwnd, RelayArguments arguments) {
    if (code < relayBeforeNavigate2 || code > relayCommandStateChange) {
        arguments.clear();
    }
    if (instance_ != nullptr) {
        instance_->DispatchIEEvent(code, hwnd, arguments);
    }
}

}  // namespace orvelle::popup
