#pragma once

#include "browsers/BrowserEventReceivers.h"
#include "browsers/BrowserSource.h"
#include "os/RuntimeError.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvelle::browsers::extension {

// One browser tab as Orvelle's extension reports it: its handle, title and address
// and the receivers of its notifications. The extension tells nothing of the
// tab's history or document events, and takes no commands from here.
class ExtensionWindow final : public IBrowserWindow {
public:
    ExtensionWindow(std::int32_t handle, std::string title, std::string url)
        : handle_(handle), title_(std::move(title)), url_(std::move(url)) {}

    [[nodiscard]] std::int32_t Hwnd() override { return handle_; }
    [[nodiscard]] std::string LocationName() override { return title_; }
    [[nodiscard]] std::string LocationURL() override { return url_; }
    [[nodiscard]] bool HasDocument() override { return false; }
    // Known without navigating: neither direction is offered.
    [[nodiscard]] std::optional<NavigationHistory> History() override {
        return NavigationHistory{};
    }
    void GoForward() override {
        throw os::RuntimeError(os::errors::kInvalidProcedureCall, "The browser takes no commands");
    }
    void StopDownload() override {}
    [[nodiscard]] desktop::ScreenPoint ScreenToClient(desktop::ScreenPoint point) override {
        return point;
    }
    void Advise(IBrowserEvents* events) override { receivers_.Add(events); }
    void Unadvise(IBrowserEvents* events) override { receivers_.Remove(events); }

    void SetTitle(std::string title) { title_ = std::move(title); }
    void SetUrl(std::string url) { url_ = std::move(url); }
    [[nodiscard]] const std::string& Title() const noexcept { return title_; }
    [[nodiscard]] const std::string& Url() const noexcept { return url_; }
    [[nodiscard]] const BrowserEventReceivers& Receivers() const noexcept { return receivers_; }

private:
    std::int32_t handle_;
    std::string title_;
    std::string url_;
    BrowserEventReceivers receivers_;
};

}  // namespace orvelle::browsers::extension
