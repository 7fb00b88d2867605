#include "DevToolsBrowserSource.h"

#include "DevToolsActivePort.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <algorithm>
#include <limits>

namespace orvelle::browsers::devtools {

namespace {

// The endpoint in a profile folder's port file, or "" when there is none.
QString EndpointIn(const std::string& folder) {
    const QString path = QString::fromStdString(folder) + QStringLiteral("/DevToolsActivePort");
    const QFileInfo info(path);
    // A port file somebody else wrote would send us to their endpoint, not our browser.
    if (!info.isFile() || info.size() > 4096 || info.ownerId() != ::getuid()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const auto endpoint = ParseDevToolsActivePort(file.readAll().toStdString());
    return endpoint ? QString::fromStdString(endpoint->WebSocketUrl()) : QString();
}

}  // namespace

DevToolsBrowserSource::DevToolsBrowserSource(FolderList folders, QObject* parent)
    : QObject(parent), folders_(std::move(folders)) {
    pollTimer_.setInterval(kPollIntervalMs);
    pollTimer_.setTimerType(Qt::VeryCoarseTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &DevToolsBrowserSource::Poll);
    pollTimer_.start();
    // The first look comes as soon as the event loop runs, not two seconds later.
    QTimer::singleShot(0, this, &DevToolsBrowserSource::Poll);
}

DevToolsBrowserSource::~DevToolsBrowserSource() {
    receivers_.clear();
    browsers_.clear();
    retired_.clear();
}

std::vector<std::shared_ptr<IBrowserWindow>> DevToolsBrowserSource::Windows() {
    std::vector<std::shared_ptr<IBrowserWindow>> windows;
    for (const auto& browser : browsers_) {
        for (auto& window : browser->Windows()) {
            windows.push_back(std::move(window));
        }
    }
    return windows;
}

void DevToolsBrowserSource::Connect(IWindowListEvents* events) {
    if (events != nullptr &&
        std::find(receivers_.begin(), receivers_.end(), events) == receivers_.end()) {
        receivers_.push_back(events);
    }
}

void DevToolsBrowserSource::Disconnect(IWindowListEvents* events) {
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), events), receivers_.end());
}

void DevToolsBrowserSource::Poll() {
    retired_.clear();
    std::vector<std::string> folders;
    try {
        folders = folders_();
    } catch (const std::exception&) {
        return;  // the list cannot be read now; the next look tries again
    }
    for (const std::string& folder : folders) {
        const QString endpoint = EndpointIn(folder);
        if (endpoint.isEmpty()) {
            continue;
        }
        const bool known =
            std::any_of(browsers_.begin(), browsers_.end(),
                        [&](const auto& browser) { return browser->EndpointUrl() == endpoint; });
        if (!known) {
            ConnectBrowser(endpoint);
        }
    }
}

void DevToolsBrowserSource::ConnectBrowser(const QString& endpointUrl) {
    DevToolsBrowser::Hooks hooks{
        [this](const QString& targetId) { return HandleFor(targetId); },
        [this] { NotifyRegistered(); },
        [this] { NotifyRevoked(); },
    };
    auto browser = std::make_unique<DevToolsBrowser>(endpointUrl, std::move(hooks));
    DevToolsBrowser* raw = browser.get();
    connect(raw, &DevToolsBrowser::closed, this, [this, raw] { Retire(raw); });
    browsers_.push_back(std::move(browser));
    raw->Open();
}

void DevToolsBrowserSource::Retire(DevToolsBrowser* browser) {
    const auto found = std::find_if(browsers_.begin(), browsers_.end(),
                                    [&](const auto& held) { return held.get() == browser; });
    if (found == browsers_.end()) {
        return;
    }
    retired_.push_back(std::move(*found));
    browsers_.erase(found);
    QTimer::singleShot(0, this, [this] { retired_.clear(); });
}

std::int32_t DevToolsBrowserSource::HandleFor(const QString& targetId) {
    const auto found = handles_.find(targetId);
    if (found != handles_.end()) {
        return found->second;
    }
    if (nextHandle_ == std::numeric_limits<std::int32_t>::max()) {
        nextHandle_ = kFirstHandle;  // after two thousand million windows: start again
    }
    const std::int32_t handle = nextHandle_++;
    handles_.emplace(targetId, handle);
    return handle;
}

void DevToolsBrowserSource::NotifyRegistered() {
    // A receiver may connect or disconnect others while it is told.
    const auto snapshot = receivers_;
    for (IWindowListEvents* events : snapshot) {
        if (std::find(receivers_.begin(), receivers_.end(), events) != receivers_.end()) {
            events->WindowRegistered(0);
        }
    }
}

void DevToolsBrowserSource::NotifyRevoked() {
    const auto snapshot = receivers_;
    for (IWindowListEvents* events : snapshot) {
        if (std::find(receivers_.begin(), receivers_.end(), events) != receivers_.end()) {
            events->WindowRevoked(0);
        }
    }
}

}  // namespace orvelle::browsers::devtools
