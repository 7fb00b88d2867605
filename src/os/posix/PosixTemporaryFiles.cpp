#include "PosixTemporaryFiles.h"

#include "PathError.h"
#include "UniqueFd.h"
#include "UnnamedFile.h"
#include "os/RuntimeError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace orvelle::os::posix {

bool PosixTemporaryFiles::Remove(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    if (S_ISDIR(info.st_mode)) {
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

namespace {

class PosixTemporaryFile final : public ITemporaryFile {
public:
    PosixTemporaryFile(UniqueFd folder, UnnamedFile file)
        : folder_(std::move(folder)), file_(std::move(file)) {}
    [[nodiscard]] std::string Path() const override { return file_.Path(); }

private:
    UniqueFd folder_;  // outlives the file, which is removed relative to it
    UnnamedFile file_;
};

}  // namespace

std::unique_ptr<ITemporaryFile> PosixTemporaryFiles::Create(const std::string& folder,
                                                            const std::string& name) {
    std::string shown = folder;
    if (!shown.empty() && shown.back() != '/') {
        shown += '/';
    }
    shown += name;
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) {
        ThrowPathError(errno, shown);
    }
    UnnamedFile file;
    if (const int error = file.Open(dir.get(), folder, name); error != 0) {
        if (error == EEXIST) {
            throw RuntimeError(58, "File already exists: " + shown +
                                       " is in the way and cannot be removed (it may belong "
                                       "to another user)");
        }
        ThrowPathError(error, shown);
    }
    return std::make_unique<PosixTemporaryFile>(std::move(dir), std::move(file));
}

void PosixTemporaryFiles::RemoveLeftovers() {
    static_cast<void>(orvelle::os::posix::RemoveLeftovers());
}

}  // namespace orvelle::os::posix
