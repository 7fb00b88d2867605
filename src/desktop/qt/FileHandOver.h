#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace orvelle::desktop::qt {

// Hands a file named on the command line (an encrypted file opened from the file
// manager) from a second copy of the program to the running one, over a local
// socket beside the single-instance lock that only this user can reach. The running
// copy is only told the path: what it does with it is its own affair.
class FileHandOver final : public QObject {
    Q_OBJECT

public:
    explicit FileHandOver(QObject* parent = nullptr);
    ~FileHandOver() override;
    FileHandOver(const FileHandOver&) = delete;
    FileHandOver& operator=(const FileHandOver&) = delete;

    // The running copy: listens at `socketPath` (a stale socket there, left by a
    // killed copy, is replaced: only the lock holder calls this) and calls `opened`
    // with every path handed over. False when it cannot listen.
    bool Listen(const std::string& socketPath, std::function<void(const std::string&)> opened);

    // A second copy: hands `file` to the copy listening at `socketPath`. False when
    // none listens or the path did not arrive whole.
    [[nodiscard]] static bool Send(const std::string& socketPath, const std::string& file);

private:
    void OnNewConnection();

    std::unique_ptr<QLocalServer> server_;
    std::function<void(const std::string&)> opened_;
};

// The socket's path for a single-instance lock file.
[[nodiscard]] std::string HandOverSocketPath(const std::string& lockPath);

}  // namespace orvelle::desktop::qt
