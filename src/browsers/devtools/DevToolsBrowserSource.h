#pragma once

#include "DevToolsBrowser.h"
#include "browsers/BrowserSource.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvelle::browsers::devtools {

// The open windows of every Chromium-family browser that exposes a DevTools
// endpoint on this computer. Browsers are found through the "DevToolsActivePort"
// file of their profile folders, looked at every two seconds, so that a browser
// started or ended while the program runs is noticed; only loopback is contacted.
class DevToolsBrowserSource final : public QObject, public IBrowserWindowSource {
    Q_OBJECT

public:
    // The profile folders to look in, asked again at every look.
    using FolderList = std::function<std::vector<std::string>()>;

    explicit DevToolsBrowserSource(FolderList folders, QObject* parent = nullptr);
    ~DevToolsBrowserSource() override;
    DevToolsBrowserSource(const DevToolsBrowserSource&) = delete;
    DevToolsBrowserSource& operator=(const DevToolsBrowserSource&) = delete;

    [[nodiscard]] std::vector<std::shared_ptr<IBrowserWindow>> Windows() override;
    void Connect(IWindowListEvents* events) override;
    void Disconnect(IWindowListEvents* events) override;

    // Looks at the profile folders now and connects to browsers not yet connected.
    void Poll();
    // The browsers connected (or being connected) now.
    [[nodiscard]] int BrowserCount() const noexcept { return static_cast<int>(browsers_.size()); }

    static constexpr int kPollIntervalMs = 2000;

private:
    void ConnectBrowser(const QString& endpointUrl);
    void Retire(DevToolsBrowser* browser);
    [[nodiscard]] std::int32_t HandleFor(const QString& targetId);
    void NotifyRegistered();
    void NotifyRevoked();

    FolderList folders_;
    QTimer pollTimer_;
    std::vector<std::unique_ptr<DevToolsBrowser>> browsers_;
    // Browsers that went away, deleted once their own signal has returned.
    std::vector<std::unique_ptr<DevToolsBrowser>> retired_;
    std::map<QString, std::int32_t> handles_;
    std::int32_t nextHandle_ = kFirstHandle;
    std::vector<IWindowListEvents*> receivers_;

    static constexpr std::int32_t kFirstHandle = 0x10000;
};

}  // namespace orvelle::browsers::devtools
