#include "RuntimeHiddenWindowsFile.h"

#include "AtomicFile.h"
#include "PosixFileSystem.h"
#include "PrivateFolder.h"
#include "XdgPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace orvelle::popup::posix {
std::string RuntimeHiddenWindowsFile::Path() const {
    if (!path_.empty()) {
        return path_;
    }
    const std::string folder = os::posix::PrivateFolder();
    return folder.empty() ? std::string() : folder + "orvelle-hidden-windows";
}

void RuntimeHiddenWindowsFile::Write(const std::string& content) {
    const std::string path = Path();
    if (path.empty()) {
        os::posix::ThrowFileError(ENOENT);
    }
    if (const int error = os::posix::WriteFileAtomically(path, content); error != 0) {
        os::posix::ThrowFileError(error);
    }
}

std::optional<std::string> RuntimeHiddenWindowsFile::Read() {
    const std::string path = Path();
    std::string content;
    if (path.empty() || os::posix::ReadWholeFile(path, content) != 0) {
        return std::nullopt;
    }
    return content;
}

void RuntimeHiddenWindowsFile::Remove() {
    const std::string path = Path();
    // A list that is not there needs no removing.
    if (!path.empty()) {
        static_cast<void>(::unlink(path.c_str()));
    }
}

}  // namespace orvelle::popup::posix
