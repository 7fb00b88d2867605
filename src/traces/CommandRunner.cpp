#include "CommandRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace orvelle::traces {

int RunCommand(const std::vector<std::string>& argv, int timeoutMs) {
    if (argv.empty()) {
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return -1;
    }
    // Through syscall: glibc 2.36 declares pidfd_open without C linkage for C++.
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    bool ended = true;
    if (pidFd >= 0) {
        pollfd watch{pidFd, POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&watch, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        ended = ready > 0;
        ::close(pidFd);
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ended || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

}  // namespace orvelle::traces
