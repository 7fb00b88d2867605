#include "DevToolsActivePort.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace orvelle::browsers::devtools {

namespace {

constexpr std::string_view kBrowserPathPrefix = "/devtools/browser/";

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool IsIdCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-';
}

}  // namespace

std::string DevToolsEndpoint::WebSocketUrl() const {
    return "ws://127.0.0.1:" + std::to_string(port) + browserPath;
}

std::optional<DevToolsEndpoint> ParseDevToolsActivePort(const std::string& content) {
    if (content.size() > 4096) {
        return std::nullopt;
    }
    std::string text = content;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    const auto newline = text.find('\n');
    if (newline == std::string::npos) {
        return std::nullopt;
    }
    const std::string portText = text.substr(0, newline);
    const std::string path = text.substr(newline + 1);
    if (portText.empty() || portText.size() > 5 ||
        !std::all_of(portText.begin(), portText.end(), IsDigit)) {
        return std::nullopt;
    }
    const int port = std::stoi(portText);
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    if (path.size() <= kBrowserPathPrefix.size() ||
        path.compare(0, kBrowserPathPrefix.size(), kBrowserPathPrefix) != 0 ||
        !std::all_of(path.begin() + static_cast<std::ptrdiff_t>(kBrowserPathPrefix.size()),
                     path.end(), IsIdCharacter)) {
        return std::nullopt;
    }
    return DevToolsEndpoint{port, path};
}

}  // namespace orvelle::browsers::devtools
