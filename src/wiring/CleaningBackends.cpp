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
        return store::SqliteRegistry::DefaultPath();
    }
    // The store's own path without making its folder (DefaultPath would).
    const std::string path = os::posix::XdgPaths::ConfigHome() + "/orvelle/registry.db";
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? path : ":memory:";
}

cleaning::CleaningServices CleaningBackends::Cleaning(desktop::IMessageBox& messageBox,
                                                      os::IEventPump& eventPump,
                                                      desktop::IClipboard& clipboard) {
    return cleaning::CleaningServices{registry,  settings,     messageBox,    process,  eventPump,
                                      clock,     folderTree,   shellFolders,  tempPath, recycleBin,
                                      clipboard, traceCatalog, CleaningLock()};
}

os::posix::FlockCleaningLock& CleaningBackends::CleaningLock() {
    if (!cleaningLock_) {
        cleaningLock_ = std::make_unique<os::posix::FlockCleaningLock>();
    }
    return *cleaningLock_;
}

std::unique_ptr<desktop::IClipboard> WindowlessClipboard() {
    return std::make_unique<desktop::x11::XcbClipboard>();
}

}  // namespace orvelle::wiring
