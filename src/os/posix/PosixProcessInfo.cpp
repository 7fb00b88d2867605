#include "PosixProcessInfo.h"

#include "XdgPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#ifndef ORVELLE_DATA_FROM_PROGRAM
#define ORVELLE_DATA_FROM_PROGRAM "."
#endif

namespace orvelle::os::posix {
namespace {

std::string RunningExecutable() {
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length))
                      : std::string("/orvelle");
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

PosixProcessInfo::PosixProcessInfo()
    : PosixProcessInfo(RunningExecutable(), ORVELLE_DATA_FROM_PROGRAM) {
}

PosixProcessInfo::PosixProcessInfo(const std::string& executablePath,
                                   const std::string& dataFromProgram) {
    const auto slash = executablePath.rfind('/');
    folder_ = slash == 0 ? std::string("/") : executablePath.substr(0, slash);
    name_ = executablePath.substr(slash + 1);
    if (IsRegularFile(folder_ + "/ding.wav")) {
        dataFolder_ = folder_;
    } else {
        // The folder is resolved already (/proc/self/exe), so ".." may be taken lexically.
        dataFolder_ = (std::filesystem::path(folder_) / dataFromProgram).lexically_normal();
        if (dataFolder_.size() > 1 && dataFolder_.back() == '/') {
            dataFolder_.pop_back();
        }
    }
}

bool PosixProcessInfo::ProgramFolderKeepsUserFiles() const {
    return dataFolder_ == folder_ && ::access(folder_.c_str(), W_OK) == 0;
}

std::string PosixProcessInfo::UserFilesFolder() const {
    return XdgPaths::OrvelleConfigDir();
}

}  // namespace orvelle::os::posix
