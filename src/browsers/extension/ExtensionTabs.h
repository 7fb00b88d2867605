#pragma once

#include "ExtensionWindow.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::browsers::extension {

// The tabs of every browser connected through Orvelle's extension, kept from the
// messages each browser sends (already checked for their shape). Each tab is a
// window with a handle that stays the same while the program runs.
class ExtensionTabs {
public:
    using ConnectionId = std::uint64_t;

    // What a message did to the list of windows.
    enum class Effect : std::uint8_t {
        None,
        // A window joined, or one changed its title or address (the log shows them).
        Registered,
        // A window left.
        Revoked,
    };

    void AddConnection(ConnectionId connection);
    // The browser went away with all its tabs.
    [[nodiscard]] Effect RemoveConnection(ConnectionId connection);
    // Applies one message of a browser. A blocked window is reported to the receivers
    // of the tab that opened it as a request for a new window (already refused).
    [[nodiscard]] Effect Apply(ConnectionId connection, const nlohmann::json& message);

    // The windows of all browsers, in the order they were first seen.
    [[nodiscard]] std::vector<std::shared_ptr<IBrowserWindow>> Windows() const;
    // The names of the browsers that said who they are.
    [[nodiscard]] std::vector<std::string> Browsers() const;

private:
    struct Browser {
        std::string name;
        // The browser's tab id → the window.
        std::map<std::int64_t, std::shared_ptr<ExtensionWindow>> tabs;
    };

    [[nodiscard]] Effect PutTab(Browser& browser, const nlohmann::json& tab, bool loaded);
    [[nodiscard]] Effect Replace(Browser& browser, const nlohmann::json& tabs);
    [[nodiscard]] Effect Close(Browser& browser, std::int64_t id);
    void Blocked(Browser& browser, std::int64_t opener);
    void Forget(const std::shared_ptr<ExtensionWindow>& window);

    std::map<ConnectionId, Browser> browsers_;
    // Handles in the order their windows appeared.
    std::vector<std::shared_ptr<ExtensionWindow>> order_;
    std::int32_t nextHandle_ = kFirstHandle;

    // Far above the handles of other sources.
    static constexpr std::int32_t kFirstHandle = 0x200000;
};

}  // namespace orvelle::browsers::extension
