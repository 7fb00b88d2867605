#pragma once

#include "UniqueFd.h"

#include <sys/stat.h>

#include <functional>
#include <string>

namespace orvelle::os::posix {

// A file that has no name until it is complete: plain text written into it
// leaves nothing behind when the process is killed, crashes or loses power,
// because the kernel frees an unnamed file (O_TMPFILE) with its last descriptor.
// Only Commit gives it a name, and then in one step. Its mode is 0600 from the
// start.
//
// Where the file system cannot hold unnamed files (some network and FAT file
// systems), the file is created under a hidden name instead, with O_EXCL and
// O_NOFOLLOW, and recorded under $XDG_STATE_HOME/orvelle/leftovers so that
// RemoveLeftovers, run when the program or the cipher library next starts, removes
// it if a killed process left it behind.
//
// Errors are returned as errno values, so that each caller can report them in its
// own words.
class UnnamedFile {
public:
    UnnamedFile() = default;
    UnnamedFile(const UnnamedFile&) = delete;
    UnnamedFile& operator=(const UnnamedFile&) = delete;
    UnnamedFile(UnnamedFile&& other) noexcept;
    UnnamedFile& operator=(UnnamedFile&&) = delete;
    // Discards the file unless it was committed.
    ~UnnamedFile();

    // Opens a new file in the folder `dirFd` (which must stay open while this
    // file lives; `folder` is its path). `fallbackName` is the name used where
    // the file system has no unnamed files; empty, a hidden random name is chosen.
    // Returns 0 or an errno.
    [[nodiscard]] int Open(int dirFd, const std::string& folder,
                           const std::string& fallbackName = {});

    [[nodiscard]] int fd() const noexcept { return fd_.get(); }
    // True when the file system had no unnamed files and the file has a name.
    [[nodiscard]] bool Named() const noexcept { return !name_.empty(); }
    // A path that opens this very file while it lives (/proc/self/fd/N for an
    // unnamed file, else its hidden name).
    [[nodiscard]] std::string Path() const;

    // Gives the file the name `name` in its folder. With `replace`, a file already
    // there is replaced in one step (never written into, and a link is replaced,
    // not followed); without, an existing name fails with EEXIST and the file
    // stays unnamed. The caller flushes first where the content must survive a
    // power cut. Returns 0 or an errno; on failure nothing at `name` has changed.
    [[nodiscard]] int Commit(const std::string& name, bool replace);

    // Closes the descriptor and reports a delayed write error (0 or an errno);
    // the file itself stays until it is committed or discarded.
    [[nodiscard]] int CloseDescriptor() noexcept;

    // Set by tests to act as on a file system without unnamed files.
    static bool& UnnamedFilesDisabled() noexcept;
    // Set by tests to act (be killed) between the two steps that replace an existing
    // file: after the complete file got its hidden name, before it takes the target's.
    static std::function<void()>& BetweenReplaceSteps() noexcept;

private:
    void Discard() noexcept;

    UniqueFd fd_;
    int dirFd_ = -1;
    std::string folder_;
    std::string name_;    // the hidden name, only when the file system had no unnamed files
    std::string record_;  // the leftovers record of a named file
    bool committed_ = false;
};

// Whether `path` reaches an open file of this process that has no name (the path
// an UnnamedFile hands out): such a file is written in place, as it cannot be
// replaced. Fills `info` with the file's status.
[[nodiscard]] bool IsUnnamedFile(const std::string& path, struct stat& info) noexcept;

// Removes the hidden files that killed processes left where unnamed files were
// not possible, each only while it is still the same file of this user, and their
// records. Returns how many files it removed.
int RemoveLeftovers() noexcept;

// Where the records of named fallback files are kept.
[[nodiscard]] std::string LeftoversFolder();

}  // namespace orvelle::os::posix
