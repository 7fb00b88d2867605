#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orvelle::os::posix {

// Replaces `path` with `content` so that a killed process leaves the old or the
// new content, never a mix: the content goes into an unnamed file in the same folder
// (or, where the file system has none, a new file O_EXCL|O_NOFOLLOW), mode 0600
// unless `mode` says otherwise, is flushed, named ".<name>.<random>.tmp" and renamed
// over the target. A symbolic link at `path` is replaced, never written through.
// The temporary file is flock()ed while it has a name; such files of `path` that no
// one holds are what a killed writer left, and each write removes them first.
// Returns 0 or the errno of the failing step.
[[nodiscard]] int WriteFileAtomically(const std::string& path, std::string_view content,
                                      unsigned mode = 0600);

// Removes what killed writers of `path` left beside it; returns how many.
int RemoveAtomicWriteLeftovers(const std::string& path);

// Called between naming the temporary file and renaming it, where a kill hurts most;
// tests end the process there. Empty in the program.
void SetAtomicWriteFaultPoint(std::function<void()> fault);

// Reads a whole regular file (never through a symbolic link). Returns 0 or an errno.
[[nodiscard]] int ReadWholeFile(const std::string& path, std::string& content);

}  // namespace orvelle::os::posix
