#pragma once

#include "browsers/BrowserSource.h"

#include <memory>
#include <string>
#include <vector>

namespace orvelle::browsers {

// Several window sources seen as one: their windows one after the other, their
// notifications passed on as they come, the switch given to each.
class CombinedBrowserSource final : public IBrowserWindowSource {
public:
    explicit CombinedBrowserSource(std::vector<IBrowserWindowSource*> sources)
        : sources_(std::move(sources)) {}

    [[nodiscard]] std::vector<std::shared_ptr<IBrowserWindow>> Windows() override {
        std::vector<std::shared_ptr<IBrowserWindow>> windows;
        for (IBrowserWindowSource* source : sources_) {
            auto more = source->Windows();
            windows.insert(windows.end(), more.begin(), more.end());
        }
        return windows;
    }
    void Connect(IWindowListEvents* events) override {
        for (IBrowserWindowSource* source : sources_) {
            source->Connect(events);
        }
    }
    void Disconnect(IWindowListEvents* events) override {
        for (IBrowserWindowSource* source : sources_) {
            source->Disconnect(events);
        }
    }
    void SetPopupBlocking(bool on) override {
        for (IBrowserWindowSource* source : sources_) {
            source->SetPopupBlocking(on);
        }
    }
    [[nodiscard]] std::vector<std::string> ConnectedBrowsers() override {
        std::vector<std::string> names;
        for (IBrowserWindowSource* source : sources_) {
            auto more = source->ConnectedBrowsers();
            names.insert(names.end(), more.begin(), more.end());
        }
        return names;
    }

    [[nodiscard]] std::string ConnectionHint() override {
        for (IBrowserWindowSource* source : sources_) {
            if (auto hint = source->ConnectionHint(); !hint.empty()) {
                return hint;
            }
        }
        return {};
    }

private:
    std::vector<IBrowserWindowSource*> sources_;
};

}  // namespace orvelle::browsers
