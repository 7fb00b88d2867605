#include "PosixFolderTree.h"

#include "PosixFolder.h"

#include <unistd.h>

namespace orvelle::os::posix {

std::unique_ptr<IFolder> PosixFolderTree::OpenRoot(const std::string& path) {
    return PosixFolder::OpenRoot(path, nullptr);
}

std::unique_ptr<IFolder> PosixFolderTree::OpenTemporaryRoot(const std::string& path, bool& shared) {
    const std::time_t now = now_ ? now_() : std::time(nullptr);
    auto root = PosixFolder::OpenRoot(path, nullptr,
                                      PosixFolder::AgeRule{::getuid(), now - kSharedTemporaryAge});
    shared = root->FollowsAgeRule();
    return root;
}

}  // namespace orvelle::os::posix
