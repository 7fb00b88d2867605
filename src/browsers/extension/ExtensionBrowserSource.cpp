#include "ExtensionBrowserSource.h"

#include "BrowserReach.h"
#include "XdgPaths.h"

#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvelle::browsers::extension {

namespace {

// Makes the socket's folder, or checks the one there: a real folder (not a link)
// of this user that nobody else may enter. Returns why not, or "".
std::string PrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return "cannot create " + folder + ": " + std::strerror(errno);
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return "cannot read " + folder + ": " + std::strerror(errno);
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        return folder + " is not a folder of this user";
    }
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        return "cannot make " + folder + " private: " + std::strerror(errno);
    }
    return {};
}

bool SameUser(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    const auto fd = static_cast<int>(socket.socketDescriptor());
    return fd >= 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof(peer) && peer.uid == ::getuid();
}

}  // namespace

ExtensionBrowserSource::ExtensionBrowserSource(const std::string& socketPath, QObject* parent)
    : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, &ExtensionBrowserSource::OnNewConnection);
    Listen(socketPath);
}

ExtensionBrowserSource::~ExtensionBrowserSource() {
    for (auto& [id, peer] : peers_) {
        if (peer.socket) {
            peer.socket->disconnect(this);
            delete peer.socket.data();
        }
    }
    server_.close();
}

void ExtensionBrowserSource::Listen(const std::string& socketPath) {
    if (socketPath.empty()) {
        problem_ = "XDG_RUNTIME_DIR is not set: browsers cannot reach the program";
        return;
    }
    const std::string folder = socketPath.substr(0, socketPath.rfind('/'));
    problem_ = PrivateFolder(folder);
    if (!problem_.empty()) {
        return;
    }
    // One program per user runs (the instance lock): a socket left there is a dead one's.
    const QString path = QString::fromStdString(socketPath);
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(path)) {
        problem_ = "cannot listen on " + socketPath + ": " + server_.errorString().toStdString();
    }
}

void ExtensionBrowserSource::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        if (!SameUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        const ExtensionTabs::ConnectionId id = nextId_++;
        socket->setParent(this);
        peers_.emplace(id, Peer{socket, nativehost::FrameReader(nativehost::kMaxFromBrowser)});
        tabs_.AddConnection(id);
        connect(socket, &QLocalSocket::readyRead, this, [this, id] { OnReadable(id); });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { OnGone(id); });
        SendState(*socket);
    }
}

void ExtensionBrowserSource::OnReadable(ExtensionTabs::ConnectionId id) {
    const auto found = peers_.find(id);
    if (found == peers_.end() || !found->second.socket) {
        return;
    }
    Peer& peer = found->second;
    const QByteArray bytes = peer.socket->readAll();
    peer.reader.Feed({bytes.constData(), static_cast<std::size_t>(bytes.size())});
    ExtensionTabs::Effect effect = ExtensionTabs::Effect::None;
    while (const auto body = peer.reader.Next()) {
        // The host checked the shape already; a host that did not is not trusted either.
        if (const auto message = nativehost::ParseMessage(*body, nativehost::Sender::Browser)) {
            const auto applied = tabs_.Apply(id, *message);
            if (applied != ExtensionTabs::Effect::None) {
                effect = applied;
            }
        }
    }
    const bool broken = peer.reader.Broken();
    Notify(effect);
    if (broken) {
        const auto again = peers_.find(id);
        if (again != peers_.end() && again->second.socket) {
            again->second.socket->abort();
        }
    }
}

void ExtensionBrowserSource::OnGone(ExtensionTabs::ConnectionId id) {
    const auto found = peers_.find(id);
    if (found == peers_.end()) {
        return;
    }
    if (found->second.socket) {
        found->second.socket->deleteLater();
    }
    peers_.erase(found);
    Notify(tabs_.RemoveConnection(id));
}

void ExtensionBrowserSource::SendState(QLocalSocket& socket) const {
    const auto frame = nativehost::EncodeFrame(blocking_ ? R"({"type":"state","blocking":true})"
                                                         : R"({"type":"state","blocking":false})");
    if (frame) {
        socket.write(frame->data(), static_cast<qint64>(frame->size()));
        socket.flush();
    }
}

void ExtensionBrowserSource::SetPopupBlocking(bool on) {
    blocking_ = on;
    for (auto& [id, peer] : peers_) {
        if (peer.socket) {
            SendState(*peer.socket);
        }
    }
}

std::vector<std::string> ExtensionBrowserSource::ConnectedBrowsers() {
    return tabs_.Browsers();
}

std::string ExtensionBrowserSource::ConnectionHint() {
    if (!problem_.empty()) {
        return "Browsers cannot connect: " + problem_ + ".";
    }
    return orvelle::browsers::extension::ConnectionHint(
        FindBrowsers({os::posix::XdgPaths::Home(), os::posix::XdgPaths::ConfigHome(),
                      os::posix::XdgPaths::CacheHome()}));
}

std::vector<std::shared_ptr<IBrowserWindow>> ExtensionBrowserSource::Windows() {
    return tabs_.Windows();
}

void ExtensionBrowserSource::Connect(IWindowListEvents* events) {
    if (events != nullptr &&
        std::find(receivers_.begin(), receivers_.end(), events) == receivers_.end()) {
        receivers_.push_back(events);
    }
}

void ExtensionBrowserSource::Disconnect(IWindowListEvents* events) {
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), events), receivers_.end());
}

void ExtensionBrowserSource::Notify(ExtensionTabs::Effect effect) {
    if (effect == ExtensionTabs::Effect::None) {
        return;
    }
    const auto receivers = receivers_;
    for (IWindowListEvents* receiver : receivers) {
        if (std::find(receivers_.begin(), receivers_.end(), receiver) == receivers_.end()) {
            continue;
        }
        if (effect == ExtensionTabs::Effect::Registered) {
            receiver->WindowRegistered(0);
        } else {
            receiver->WindowRevoked(0);
        }
    }
}

}  // namespace orvelle::browsers::extension
