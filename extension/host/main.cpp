// orvelle-popup-host: the native-messaging host the browsers start for Orvelle's
// extension. It relays between the extension (standard input and output) and the
// running program (a Unix socket in the user's runtime folder), passing on only
// messages of a known shape. While the program is not running it tells the
// extension so (nothing is blocked then) and tries the socket again every two
// seconds. It ends when the browser closes its standard input.

#include "NativeMessages.h"
#include "UniqueFd.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using orvelle::nativehost::EncodeFrame;
using orvelle::nativehost::FrameReader;
using orvelle::nativehost::ParseMessage;
using orvelle::nativehost::Sender;
using orvelle::os::posix::UniqueFd;

constexpr int kRetryMs = 2000;
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

UniqueFd ConnectProgram() {
    const std::string path = orvelle::nativehost::SocketPath();
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        return {};
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        return {};
    }
    return fd;
}

void Refused(const char* from, std::string_view reason) {
    std::fprintf(stderr, "orvelle-popup-host: refused a message from the %s: %.*s\n", from,
                 static_cast<int>(reason.size()), reason.data());
}

class Relay {
public:
    int Run() {
        Reconnect();
        while (true) {
            std::array<pollfd, 2> fds{pollfd{STDIN_FILENO, POLLIN, 0},
                                      pollfd{program_.get(), POLLIN, 0}};
            const nfds_t count = program_ ? 2 : 1;
            const int ready = ::poll(fds.data(), count, program_ ? -1 : kRetryMs);
            if (ready < 0 && errno != EINTR) {
                return 1;
            }
            if (ready == 0) {
                Reconnect();
                continue;
            }
            if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && !FromBrowser()) {
                return browserBroken_ ? 1 : 0;
            }
            if (program_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                FromProgram();
            }
        }
    }

private:
    void Reconnect() {
        program_ = ConnectProgram();
        fromProgram_ = FrameReader(orvelle::nativehost::kMaxToBrowser);
        // Connected: the extension sends its tabs again. Not: it blocks nothing.
        ToBrowser(program_ ? R"({"type":"sync"})" : R"({"type":"state","blocking":false})");
    }

    void ProgramGone() {
        program_.reset();
        ToBrowser(R"({"type":"state","blocking":false})");
    }

    void ToBrowser(std::string_view body) {
        if (const auto frame = EncodeFrame(body)) {
            if (!WriteAll(STDOUT_FILENO, *frame)) {
                std::_Exit(0);  // the browser went away
            }
        }
    }

    // False once the browser closed the stream or broke it.
    bool FromBrowser() {
        std::array<char, kReadChunk> buffer{};
        const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            return true;
        }
        if (got <= 0) {
            return false;
        }
        fromBrowser_.Feed({buffer.data(), static_cast<std::size_t>(got)});
        while (const auto body = fromBrowser_.Next()) {
            if (!ParseMessage(*body, Sender::Browser)) {
                Refused("browser", "not a known message");
                continue;
            }
            if (program_) {
                const auto frame = EncodeFrame(*body, orvelle::nativehost::kMaxFromBrowser);
                if (!frame || !WriteAll(program_.get(), *frame)) {
                    ProgramGone();
                }
            }
        }
        if (fromBrowser_.Broken()) {
            Refused("browser", "a length over the limit");
            browserBroken_ = true;
            return false;
        }
        return true;
    }

    void FromProgram() {
        std::array<char, kReadChunk> buffer{};
        const ssize_t got = ::read(program_.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            return;
        }
        if (got <= 0) {
            ProgramGone();
            return;
        }
        fromProgram_.Feed({buffer.data(), static_cast<std::size_t>(got)});
        while (const auto body = fromProgram_.Next()) {
            if (ParseMessage(*body, Sender::Program)) {
                ToBrowser(*body);
            } else {
                Refused("program", "not a known message");
            }
        }
        if (fromProgram_.Broken()) {
            Refused("program", "a length over the limit");
            ProgramGone();
        }
    }

    UniqueFd program_;
    FrameReader fromBrowser_{orvelle::nativehost::kMaxFromBrowser};
    FrameReader fromProgram_{orvelle::nativehost::kMaxToBrowser};
    bool browserBroken_ = false;
};

}  // namespace

int main() {
    // A program that went away shows as a failed write, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    return Relay().Run();
}
