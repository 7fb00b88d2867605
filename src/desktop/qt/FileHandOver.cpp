#include "FileHandOver.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace orvelle::desktop::qt {
namespace {

constexpr int kTimeoutMs = 2000;
// A path is one line; anything longer than this is not a path.
constexpr qint64 kLongestRequest = qint64{64} * 1024;

}  // namespace

std::string HandOverSocketPath(const std::string& lockPath) {
    return lockPath + ".open";
}

FileHandOver::FileHandOver(QObject* parent) : QObject(parent) {
}

FileHandOver::~FileHandOver() = default;

bool FileHandOver::Listen(const std::string& socketPath,
                          std::function<void(const std::string&)> opened) {
    opened_ = std::move(opened);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = QString::fromStdString(socketPath);
    QLocalServer::removeServer(path);
    connect(server_.get(), &QLocalServer::newConnection, this, &FileHandOver::OnNewConnection);
    return server_->listen(path);
}

void FileHandOver::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kLongestRequest) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine()) {
                return;
            }
            QByteArray line = socket->readLine(kLongestRequest);
            line.chop(1);
            socket->write("ok\n");
            socket->flush();
            if (opened_ && !line.isEmpty()) {
                opened_(line.toStdString());
            }
        });
    }
}

bool FileHandOver::Send(const std::string& socketPath, const std::string& file) {
    if (file.find('\n') != std::string::npos) {
        return false;
    }
    // Only a socket of this user: where the lock falls back to the shared temporary
    // folder, another user could have put one there to learn which files are opened.
    struct stat info {};
    if (::lstat(socketPath.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
        info.st_uid != ::geteuid()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath));
    if (!socket.waitForConnected(kTimeoutMs)) {
        return false;
    }
    const QByteArray request = QByteArray::fromStdString(file + "\n");
    if (socket.write(request) != request.size() || !socket.waitForBytesWritten(kTimeoutMs)) {
        return false;
    }
    // The running copy answers once it has the whole path.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kTimeoutMs)) {
            return false;
        }
    }
    return socket.readLine() == "ok\n";
}

}  // namespace orvelle::desktop::qt
