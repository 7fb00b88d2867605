#pragma once

#include "CleaningServices.h"
#include "FlockCleaningLock.h"
#include "FreedesktopTrash.h"
#include "LinuxTraceCatalog.h"
#include "PosixFileSystem.h"
#include "PosixFolderTree.h"
#include "PosixProcessInfo.h"
#include "PosixShellFolders.h"
#include "PosixTempPath.h"
#include "RegistrySettingsStore.h"
#include "SqliteRegistry.h"
#include "SystemClock.h"

#include <memory>
#include <string>

namespace orvelle::wiring {

// The posix backends a clean works with, without Qt: the program and orvelle-clean
// both build them here, over the registry store at `storePath`.
struct CleaningBackends {
    explicit CleaningBackends(const std::string& storePath);

    // The user's registry store. Listing and previewing never create it (`mayCreate`
    // false): without one they read an empty store in memory, as a new user's.
    [[nodiscard]] static std::string StorePath(bool mayCreate);

    // The cleaning feature's bundle over these backends and the caller's message box,
    // event pump and clipboard (the program's are Qt's, orvelle-clean's are not).
    [[nodiscard]] cleaning::CleaningServices Cleaning(platform::IMessageBox& messageBox,
                                                      platform::IEventPump& eventPump,
                                                      platform::IClipboard& clipboard);

    platform::posix::SqliteRegistry registry;
    platform::RegistrySettingsStore settings;
    platform::posix::PosixProcessInfo process;
    platform::posix::PosixFileSystem files;
    platform::posix::PosixTempPath tempPath;
    platform::posix::SystemClock clock;
    platform::posix::PosixFolderTree folderTree;
    platform::posix::PosixShellFolders shellFolders;
    platform::posix::FreedesktopTrash recycleBin;
    traces::LinuxTraceCatalog traceCatalog;

    // The lock that keeps one clean at a time, made when first asked for: finding its
    // place may create a folder, which listing and previewing never do.
    [[nodiscard]] platform::posix::FlockCleaningLock& CleaningLock();

private:
    std::unique_ptr<platform::posix::FlockCleaningLock> cleaningLock_;
};

// The clipboard of a program without windows of its own (orvelle-clean): the X
// server's, reached without Qt and only when it is cleared.
[[nodiscard]] std::unique_ptr<platform::IClipboard> WindowlessClipboard();

}  // namespace orvelle::wiring
