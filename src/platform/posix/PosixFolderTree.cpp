#include "PosixFolderTree.h"

#include "PosixFolder.h"

namespace orvelle::platform::posix {

std::unique_ptr<IFolder> PosixFolderTree::OpenRoot(const std::string& path) {
    return PosixFolder::OpenRoot(path, nullptr);
}

}  // namespace orvelle::platform::posix
