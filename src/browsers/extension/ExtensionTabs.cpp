#include "ExtensionTabs.h"

#include <algorithm>
#include <set>

namespace orvelle::browsers::extension {

using nlohmann::json;

namespace {

ExtensionTabs::Effect Stronger(ExtensionTabs::Effect a, ExtensionTabs::Effect b) {
    // A revocation rebuilds the log as a registration does; either one is enough.
    return a != ExtensionTabs::Effect::None ? a : b;
}

}  // namespace

void ExtensionTabs::AddConnection(ConnectionId connection) {
    browsers_.try_emplace(connection);
}

ExtensionTabs::Effect ExtensionTabs::RemoveConnection(ConnectionId connection) {
    const auto found = browsers_.find(connection);
    if (found == browsers_.end()) {
        return Effect::None;
    }
    const bool hadTabs = !found->second.tabs.empty();
    for (const auto& [id, window] : found->second.tabs) {
        Forget(window);
    }
    browsers_.erase(found);
    return hadTabs ? Effect::Revoked : Effect::None;
}

ExtensionTabs::Effect ExtensionTabs::Apply(ConnectionId connection, const json& message) {
    const auto found = browsers_.find(connection);
    if (found == browsers_.end()) {
        return Effect::None;
    }
    Browser& browser = found->second;
    const std::string& type = message.at("type").get_ref<const std::string&>();
    if (type == "hello") {
        browser.name = message.at("browser").get<std::string>();
        // A browser that just connected shows on the page even before its tabs come.
        return Effect::Registered;
    }
    if (type == "windows") {
        return Replace(browser, message.at("tabs"));
    }
    if (type == "tab") {
        return PutTab(browser, message.at("tab"), message.value("loaded", false));
    }
    if (type == "closed") {
        return Close(browser, message.at("id").get<std::int64_t>());
    }
    if (type == "blocked") {
        Blocked(browser, message.at("tab").get<std::int64_t>());
    }
    return Effect::None;
}

ExtensionTabs::Effect ExtensionTabs::PutTab(Browser& browser, const json& tab, bool loaded) {
    const auto id = tab.at("id").get<std::int64_t>();
    std::string title = tab.at("title").get<std::string>();
    std::string url = tab.at("url").get<std::string>();
    const auto found = browser.tabs.find(id);
    if (found == browser.tabs.end()) {
        auto window =
            std::make_shared<ExtensionWindow>(nextHandle_++, std::move(title), std::move(url));
        browser.tabs.emplace(id, window);
        order_.push_back(std::move(window));
        return Effect::Registered;
    }
    const std::shared_ptr<ExtensionWindow> window = found->second;
    const bool titleChanged = window->Title() != title;
    const bool urlChanged = window->Url() != url;
    window->SetTitle(std::move(title));
    if (urlChanged) {
        window->SetUrl(std::move(url));
        const BrowserDispatch self{window.get(), {}};
        window->Receivers().ForEach(
            [&](IBrowserEvents& events) { events.NavigateComplete2(self, window->Url()); });
    }
    if (loaded) {
        const BrowserDispatch self{window.get(), {}};
        window->Receivers().ForEach(
            [&](IBrowserEvents& events) { events.DocumentComplete(self, window->Url()); });
    }
    return titleChanged || urlChanged ? Effect::Registered : Effect::None;
}

ExtensionTabs::Effect ExtensionTabs::Replace(Browser& browser, const json& tabs) {
    Effect effect = Effect::None;
    std::set<std::int64_t> listed;
    for (const json& tab : tabs) {
        listed.insert(tab.at("id").get<std::int64_t>());
        effect = Stronger(effect, PutTab(browser, tab, false));
    }
    for (auto it = browser.tabs.begin(); it != browser.tabs.end();) {
        if (listed.count(it->first) == 0) {
            Forget(it->second);
            it = browser.tabs.erase(it);
            effect = Stronger(effect, Effect::Revoked);
        } else {
            ++it;
        }
    }
    return effect;
}

ExtensionTabs::Effect ExtensionTabs::Close(Browser& browser, std::int64_t id) {
    const auto found = browser.tabs.find(id);
    if (found == browser.tabs.end()) {
        return Effect::None;
    }
    Forget(found->second);
    browser.tabs.erase(found);
    return Effect::Revoked;
}

void ExtensionTabs::Blocked(Browser& browser, std::int64_t opener) {
    const auto found = browser.tabs.find(opener);
    if (found == browser.tabs.end()) {
        return;
    }
    // The page already refused the window; the receivers play the sound and log it.
    const std::shared_ptr<ExtensionWindow> window = found->second;
    window->Receivers().ForEach([](IBrowserEvents& events) {
        bool cancel = false;
        events.NewWindow2(cancel);
    });
}

void ExtensionTabs::Forget(const std::shared_ptr<ExtensionWindow>& window) {
    order_.erase(std::remove(order_.begin(), order_.end(), window), order_.end());
}

std::vector<std::shared_ptr<IBrowserWindow>> ExtensionTabs::Windows() const {
    return {order_.begin(), order_.end()};
}

std::vector<std::string> ExtensionTabs::Browsers() const {
    std::vector<std::string> names;
    for (const auto& [connection, browser] : browsers_) {
        if (!browser.name.empty()) {
            names.push_back(browser.name);
        }
    }
    return names;
}

}  // namespace orvelle::browsers::extension
