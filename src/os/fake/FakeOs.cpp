#include "FakeOs.h"

#include "os/RuntimeError.h"
#include "os/TextLines.h"

namespace orvelle::os::fake {

std::vector<std::string> FakeFileSystem::ReadLines(const std::string& path) {
    const auto found = files.find(path);
    if (found == files.end()) {
        throw RuntimeError(errors::kFileNotFound, "File not found");
    }
    if (failReads) {
        throw RuntimeError(errors::kDeviceIoError, "Device I/O error");
    }
    return SplitLines(found->second);
}

void FakeFileSystem::WriteFileAtomic(const std::string& path, const std::string& content) {
    if (failWrites) {
        throw RuntimeError(errors::kPermissionDenied, "Permission denied");
    }
    files[path] = content;
}

}  // namespace orvelle::os::fake
