#include "PrivateMounts.h"

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace orvelle::test {
namespace {

std::string Errno(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool WriteText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

}  // namespace

std::string RunInChild(const std::function<std::string()>& prepare,
                       const std::function<std::string()>& body);

namespace {

std::string EnterNamespace() {
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) {
            return Errno("unshare(CLONE_NEWNS)");
        }
    } else {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return Errno("unshare(CLONE_NEWUSER|CLONE_NEWNS)");
        }
        if (!WriteText("/proc/self/setgroups", "deny") ||
            !WriteText("/proc/self/uid_map",
                       std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
            !WriteText("/proc/self/gid_map",
                       std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
            return Errno("user namespace maps");
        }
    }
    // Nothing mounted here reaches the rest of the system.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return Errno("making / private");
    }
    return {};
}

}  // namespace

std::string RunInChild(const std::function<std::string()>& prepare,
                       const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return Errno("pipe");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return Errno("fork");
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string result = prepare();
        if (result.empty()) {
            result = body();
        }
        static_cast<void>(::write(pipeFds[1], result.data(), result.size()));
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string result;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0) {
            result.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "the child process ended abnormally (status " + std::to_string(status) + ") " +
               result;
    }
    return result;
}

std::string InChild(const std::function<std::string()>& body) {
    return RunInChild([] { return std::string(); }, body);
}

std::string InPrivateMounts(const std::function<std::string()>& body) {
    return RunInChild(EnterNamespace, body);
}

std::string AsUnprivileged(const std::string& folder, const std::function<std::string()>& body) {
    return RunInChild(
        [&]() -> std::string {
            if (::geteuid() != 0) {
                return {};
            }
            constexpr uid_t kNobody = 65534;
            std::error_code error;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
                static_cast<void>(::lchown(entry.path().c_str(), kNobody, kNobody));
            }
            if (::lchown(folder.c_str(), kNobody, kNobody) != 0) {
                return Errno("chown " + folder);
            }
            if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
                ::setresuid(kNobody, kNobody, kNobody) != 0) {
                return Errno("dropping to nobody");
            }
            return {};
        },
        body);
}

std::string MountTmpfs(const std::string& path, unsigned kib) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    const std::string options = "size=" + std::to_string(kib) + "k,mode=0700";
    if (::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        return Errno("mount tmpfs at " + path);
    }
    return {};
}

std::string MountReadOnly(const std::string& path) {
    if (::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return Errno("bind mount of " + path);
    }
    if (::mount(nullptr, path.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        return Errno("read-only remount of " + path);
    }
    return {};
}

std::string FillFileSystem(const std::string& folder) {
    const std::string path = folder + "/.filler";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return Errno("create " + path);
    }
    const std::vector<char> block(4096, 'f');
    while (true) {
        const ssize_t written = ::write(fd, block.data(), block.size());
        if (written <= 0) {
            break;
        }
    }
    // The last partial block, byte by byte, so that not one byte is left.
    while (::write(fd, block.data(), 1) == 1) {
    }
    const bool full = errno == ENOSPC;
    ::close(fd);
    return full ? std::string() : Errno("filling " + folder);
}

}  // namespace orvelle::test
