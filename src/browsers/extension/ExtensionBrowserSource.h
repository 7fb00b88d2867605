#pragma once

#include "ExtensionTabs.h"
#include "NativeMessages.h"
#include "browsers/BrowserSource.h"

#include <QLocalServer>
#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <string>
#include <vector>

class QLocalSocket;

namespace orvelle::browsers::extension {

// The tabs of the browsers that run Orvelle's extension. Each browser's native
// host connects to a Unix socket in the user's runtime folder ("orvelle", kept
// 0700); a peer of another user is refused. The popup killer's switch is pushed
// to every connected browser, which then decides in the page.
class ExtensionBrowserSource final : public QObject, public IBrowserWindowSource {
    Q_OBJECT

public:
    // Listens on `socketPath` (its folder is made private first); IsListening()
    // tells whether that worked.
    explicit ExtensionBrowserSource(const std::string& socketPath = nativehost::SocketPath(),
                                    QObject* parent = nullptr);
    ~ExtensionBrowserSource() override;
    ExtensionBrowserSource(const ExtensionBrowserSource&) = delete;
    ExtensionBrowserSource& operator=(const ExtensionBrowserSource&) = delete;

    [[nodiscard]] std::vector<std::shared_ptr<IBrowserWindow>> Windows() override;
    void Connect(IWindowListEvents* events) override;
    void Disconnect(IWindowListEvents* events) override;
    void SetPopupBlocking(bool on) override;
    [[nodiscard]] std::vector<std::string> ConnectedBrowsers() override;
    // Why listening failed, or which browsers of this computer to restart.
    [[nodiscard]] std::string ConnectionHint() override;

    [[nodiscard]] bool IsListening() const { return server_.isListening(); }
    // Why listening failed, for the page and the log; empty while listening.
    [[nodiscard]] const std::string& Problem() const noexcept { return problem_; }

private:
    struct Peer {
        QPointer<QLocalSocket> socket;
        nativehost::FrameReader reader{nativehost::kMaxFromBrowser};
    };

    void Listen(const std::string& socketPath);
    void OnNewConnection();
    void OnReadable(ExtensionTabs::ConnectionId id);
    void OnGone(ExtensionTabs::ConnectionId id);
    void SendState(QLocalSocket& socket) const;
    void Notify(ExtensionTabs::Effect effect);

    QLocalServer server_;
    std::string problem_;
    std::map<ExtensionTabs::ConnectionId, Peer> peers_;
    ExtensionTabs::ConnectionId nextId_ = 1;
    ExtensionTabs tabs_;
    bool blocking_ = false;
    std::vector<IWindowListEvents*> receivers_;
};

}  // namespace orvelle::browsers::extension
