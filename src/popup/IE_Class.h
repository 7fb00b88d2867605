#pragma once

#include "MonitorContext.h"
#include "browsers/BrowserSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvelle::popup {

// Watches one browser window: cancels the page's requests for new windows while
// the popup killer is on (unless Ctrl is held), keeps the window's back/forward
// availability, and relays the window's events, tagged with its handle.
// Created and wired by the window collection; lives until its next rebuild.
class IE_Class final : public std::enable_shared_from_this<IE_Class>,
                       private browsers::IBrowserEvents {
public:
    explicit IE_Class(std::shared_ptr<MonitorContext> context);
    ~IE_Class() override;
    IE_Class(const IE_Class&) = delete;
    IE_Class& operator=(const IE_Class&) = delete;

    [[nodiscard]] bool EnableForward() const noexcept { return EnableForward_; }
    [[nodiscard]] bool EnableBack() const noexcept { return EnableBack_; }
    // Wires the monitor to a browser window; every step's errors are ignored.
    void IEctl(std::shared_ptr<browsers::IBrowserWindow> incomeIE);
    [[nodiscard]] const std::shared_ptr<browsers::IBrowserWindow>& IEctl() const noexcept {
        return IE_;
    }
    // The window's handle, 0 when it could not be read.
    [[nodiscard]] std::int32_t IEHandle() const noexcept { return IEHandle_; }

    // The browser window's events.
    void IE_BeforeNavigate2(const browsers::BrowserDispatch& pDisp, const std::string& url,
                            std::int32_t flags, const std::string& targetFrameName,
                            const std::string& postData, const std::string& headers, bool& cancel);
    void IE_CommandStateChange(std::int32_t command, bool enable);
    void IE_DocumentComplete(const browsers::BrowserDispatch& pDisp, const std::string& url);
    void IE_DownloadBegin();
    void IE_DownloadComplete();
    void IE_NavigateComplete2(const browsers::BrowserDispatch& pDisp, const std::string& url);
    // The pop-up rule.
    void IE_NewWindow2(bool& cancel);
    // The document's events (only for a window that held an HTML document when wired).
    // True lets the browser show its context menu.
    bool IEDoc_oncontextmenu();
    void IEDoc_onmousedown();
    void IEDoc_onmouseup();

private:
    // IBrowserEvents: the window calls these; each runs the handler above.
    void BeforeNavigate2(const browsers::BrowserDispatch& pDisp, const std::string& url,
                         std::int32_t flags, const std::string& targetFrameName,
                         const std::string& postData, const std::string& headers,
                         bool& cancel) override;
    void NavigateComplete2(const browsers::BrowserDispatch& pDisp, const std::string& url) override;
    void DocumentComplete(const browsers::BrowserDispatch& pDisp, const std::string& url) override;
    void DownloadBegin() override;
    void DownloadComplete() override;
    void CommandStateChange(std::int32_t command, bool enable) override;
    void NewWindow2(bool& cancel) override;
    bool DocumentContextMenu() override;
    void DocumentMouseDown() override;
    void DocumentMouseUp() override;

    void ProbeForward();
    void Disconnect() noexcept;
    [[nodiscard]] desktop::ScreenPoint ClientCursorPosition();
    [[nodiscard]] std::int16_t ShiftState();
    void Relay(std::int32_t code, RelayArguments arguments);

    std::shared_ptr<MonitorContext> context_;
    std::int32_t IEHandle_ = 0;
    bool EnableBack_ = false;
    bool EnableForward_ = false;
    bool leftButtonDown_ = false;
    bool rightButtonDown_ = false;
    std::shared_ptr<browsers::IBrowserWindow> IE_;
    // The document was connected when the monitor was wired.
    bool IEDoc_ = false;
};

}  // namespace orvelle::popup
