#pragma once

#include "OpenFileSet.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvelle::traces {

// The files and folders of traces, handled by the cleaning walk's rules: the base
// folder is opened with the walk's checks (not a link, not "/", not the home folder
// or above it), every step below it relative to an open folder without following a
// link or leaving the file system, and a file some process holds open stays.
// Each returns "" on success (a missing item counts as erased) or what went wrong.

// Space the file or folder takes on disk (its blocks), never following a link.
[[nodiscard]] std::uint64_t SizeOnDisk(const std::string& path);
// The file and, for a database, its -wal, -shm and -journal; all or none: when any
// of them is open in a process, nothing is deleted.
[[nodiscard]] std::string DeleteWholeFile(
    const std::string& base, const std::string& relative,
    const std::shared_ptr<const os::posix::OpenFileSet>& openFiles);
// Everything inside the folder (hidden entries too); the folder itself stays.
[[nodiscard]] std::string EmptyFolder(
    const std::string& base, const std::string& relative,
    const std::shared_ptr<const os::posix::OpenFileSet>& openFiles);
// The folder with everything in it, under the same rules; what a process holds open
// stays, and then so does the folder.
[[nodiscard]] std::string DeleteWholeFolder(
    const std::string& base, const std::string& relative,
    const std::shared_ptr<const os::posix::OpenFileSet>& openFiles);
// The base folder passes the walk's checks now ("" or why not).
[[nodiscard]] std::string CheckBase(const std::string& base);
// True when `path` (no link followed) is a regular file that a process holds open.
[[nodiscard]] bool HeldOpen(const std::string& path, const os::posix::OpenFileSet& openFiles);

}  // namespace orvelle::traces
