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
    [[nodiscard]] cleaning::CleaningServices Cleaning(desktop::IMessageBox& messageBox,
                                                      os::IEventPump& eventPump,
                                                      desktop::IClipboard& clipboard);

    store::SqliteRegistry registry;
    store::RegistrySettingsStore settings;
    os::posix::PosixProcessInfo process;
    os::posix::PosixFileSystem files;
    os::posix::PosixTempPath tempPath;
    os::posix::SystemClock clock;
    os::posix::PosixFolderTree folderTree;
    os::posix::PosixShellFolders shellFolders;
    os::posix::FreedesktopTrash recycleBin;
    traces::LinuxTraceCatalog traceCatalog;

    // The lock that keeps one clean at a time, made when first asked for: finding its
    // place may create a folder, which listing and previewing never do.
    [[nodiscard]] os::posix::FlockCleaningLock& CleaningLock();

private:
    std::unique_ptr<os::posix::FlockCleaningLock> cleaningLock_;
};

// The clipboard of a program without windows of its own (orvelle-clean): the X
// server's, reached without Qt and only when it is cleared.
[[nodiscard]] std::unique_ptr<desktop::IClipboard> WindowlessClipboard();

}  // namespace orvelle::wiring
