#pragma once

#include "browsers/BrowserSource.h"

#include <cstdint>
#include <string>

namespace orvelle::popup {

// A listener of the window collection's events. Every event has an empty default,
// so a listener overrides only what it wants. `hwnd` is always the handle of the
// window the event comes from; `cancel` is by reference and goes back to the window.
class cIEWindowsEvents {
public:
    virtual ~cIEWindowsEvents() = default;

    // The window list changed; the collection has been rebuilt.
    virtual void IEWindowRegistered() {}
    virtual void IEWindowRevoked() {}

    virtual void IENavigationBegin(std::int32_t /*hwnd*/,
                                   const browsers::BrowserDispatch& /*pDisp*/,
                                   const std::string& /*url*/, std::int32_t /*flags*/,
                                   const std::string& /*targetFrameName*/,
                                   const std::string& /*postData*/, const std::string& /*headers*/,
                                   bool& /*cancel*/) {}
    virtual void IENavigationComplete(std::int32_t /*hwnd*/,
                                      const browsers::BrowserDispatch& /*pDisp*/,
                                      const std::string& /*url*/) {}
    virtual void IEDocumentComplete(std::int32_t /*hwnd*/,
                                    const browsers::BrowserDispatch& /*pDisp*/,
                                    const std::string& /*url*/) {}
    virtual void IEDownloadBegin(std::int32_t /*hwnd*/) {}
    virtual void IEDownloadComplete(std::int32_t /*hwnd*/) {}
    virtual void IEOnContextMenu(std::int32_t /*hwnd*/) {}
    // `button`: 1 left, 2 right; `shift`: 0, or 1 Shift, 2 Ctrl, 4 Alt (the last found wins).
    virtual void IEMouseDown(std::int32_t /*hwnd*/, std::int16_t /*button*/, std::int16_t /*shift*/,
                             float /*x*/, float /*y*/) {}
    virtual void IEMouseUp(std::int32_t /*hwnd*/, std::int16_t /*button*/, std::int16_t /*shift*/,
                           float /*x*/, float /*y*/) {}
    virtual void IECommandStateChange(std::int32_t /*hwnd*/, std::int32_t /*command*/,
                                      bool /*enable*/) {}
};

}  // namespace orvelle::popup
