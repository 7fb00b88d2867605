#pragma once

#include <functional>
#include <string>

namespace orvelle::test {

// Runs `body` in a child process, whose limits and working folder it may change
// freely; returns the body's result, or why the child did not get there.
std::string InChild(const std::function<std::string()>& body);

// Runs `body` in a child process with a mount namespace of its own, so that it can
// mount small or read-only file systems over the test's folders; they vanish with the
// child, whatever happens to it. An unprivileged user gets a user namespace too, where
// it is root. Returns the body's result, or a text naming why the child did not get
// there. The body reports through its result (and files outside the mounts).
std::string InPrivateMounts(const std::function<std::string()>& body);

// Runs `body` in a child process whose permission bits count: as root it drops to the
// user "nobody" (65534) after giving it `folder` (whose parent must let everyone
// through, as the temporary folder does), so that a mode of 0444 stops a write.
std::string AsUnprivileged(const std::string& folder, const std::function<std::string()>& body);

// Mounts a tmpfs of `kib` KiB at `path` (made if missing); "" or why not.
std::string MountTmpfs(const std::string& path, unsigned kib);
// Makes `path` a read-only view of itself; "" or why not.
std::string MountReadOnly(const std::string& path);
// Fills the file system holding `folder` to its last byte with one file; "" or why not.
std::string FillFileSystem(const std::string& folder);

}  // namespace orvelle::test
