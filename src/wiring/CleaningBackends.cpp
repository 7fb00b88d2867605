#include "CleaningBackends.h"

#include "XcbClipboard.h"
#include "XdgPaths.h"

#include <sys/stat.h>

namespace orvelle::wiring {

CleaningBackends::CleaningBackends(const std::string& storePath)
    : registry(storePath), settings(registry), shellFolders(registry) {
}

std::string CleaningBackends::StorePath(bool mayCreate) {
    if (mayCreate) {
        return platform::posix::SqliteRegistry::DefaultPath();
    }
    // The store's own path without making its folder (DefaultPath would).
    const std::string path = platform::posix::XdgPaths::ConfigHome() + "/orvelle/registry.db";
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? path : ":memory:";
}

cleaning::CleaningServices CleaningBackends::Cleaning(platform::IMessageBox& messageBox,
                                                      platform::IEventPump& eventPump,
                                                      platform::IClipboard& clipboard) {
    return cleaning::CleaningServices{registry,  settings,     messageBox,    process,  eventPump,
                                      clock,     folderTree,   shellFolders,  tempPath, recycleBin,
                                      clipboard, traceCatalog, CleaningLock()};
}

platform::posix::FlockCleaningLock& CleaningBackends::CleaningLock() {
    if (!cleaningLock_) {
        cleaningLock_ = std::make_unique<platform::posix::FlockCleaningLock>();
    }
    return *cleaningLock_;
}

std::unique_ptr<platform::IClipboard> WindowlessClipboard() {
    return std::make_unique<platform::posix::XcbClipboard>();
}

}  // namespace orvelle::wiring
