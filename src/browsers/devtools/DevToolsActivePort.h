#pragma once

#include <optional>
#include <string>

namespace orvelle::browsers::devtools {

// Where a Chromium-family browser started with --remote-debugging-port listens, as
// its profile folder's "DevToolsActivePort" file tells: the port on the first line,
// the browser's WebSocket path on the second.
struct DevToolsEndpoint {
    int port = 0;
    std::string browserPath;

    // The browser's WebSocket address; always on the loopback interface.
    [[nodiscard]] std::string WebSocketUrl() const;

    friend bool operator==(const DevToolsEndpoint&, const DevToolsEndpoint&) = default;
};

// The endpoint a "DevToolsActivePort" file holds, or nullopt for anything else
// (a port outside 1…65535, a path that is not a browser's, extra or missing text).
[[nodiscard]] std::optional<DevToolsEndpoint> ParseDevToolsActivePort(const std::string& content);

}  // namespace orvelle::browsers::devtools
