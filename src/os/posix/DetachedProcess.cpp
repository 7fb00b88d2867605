#include "DetachedProcess.h"

#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace orvelle::os::posix {
namespace {

std::string ResolveProgram(const std::string& program, int& error) {
    error = ENOENT;
    if (program.empty()) {
        return {};
    }
    if (program.find('/') != std::string::npos) {
        error = ::access(program.c_str(), X_OK) == 0 ? 0 : errno;
        return error == 0 ? program : std::string();
    }
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + '/' + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        if (::access(candidate.c_str(), X_OK) == 0) {
            error = 0;
            return candidate;
        }
        error = EACCES;
    }
    return {};
}

}  // namespace

int StartDetached(const std::vector<std::string>& command) {
    if (command.empty()) {
        return ENOENT;
    }
    int error = 0;
    const std::string program = ResolveProgram(command.front(), error);
    if (error != 0) {
        return error;
    }
    // Everything the child needs is built before fork: after it only async-signal-safe calls.
    std::vector<char*> argv;
    argv.reserve(command.size() + 1);
    for (const auto& argument : command) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return errno;
    }
    UniqueFd reportRead(fds[0]);
    UniqueFd reportWrite(fds[1]);

    const pid_t child = ::fork();
    if (child < 0) {
        return errno;
    }
    if (child == 0) {
        // The intermediate child ends at once, so the program started is nobody's zombie.
        const pid_t grandchild = ::fork();
        if (grandchild != 0) {
            const int forkError = grandchild < 0 ? errno : 0;
            if (forkError != 0) {
                static_cast<void>(::write(reportWrite.get(), &forkError, sizeof forkError));
            }
            ::_exit(0);
        }
        ::setsid();
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        const int null = ::open("/dev/null", O_RDONLY);
        if (null > 0) {
            ::dup2(null, STDIN_FILENO);
            ::close(null);
        }
        ::execve(program.c_str(), argv.data(), environ);
        const int execError = errno;
        static_cast<void>(::write(reportWrite.get(), &execError, sizeof execError));
        ::_exit(127);
    }
    reportWrite.reset();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int childError = 0;
    ssize_t count = 0;
    do {
        count = ::read(reportRead.get(), &childError, sizeof childError);
    } while (count < 0 && errno == EINTR);
    return count == static_cast<ssize_t>(sizeof childError) ? childError : 0;
}

}  // namespace orvelle::os::posix
