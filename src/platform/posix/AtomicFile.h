#pragma once

#include <string>
#include <string_view>

namespace orvelle::platform::posix {

// Replaces `path` with `content` so that a killed process leaves the old or the
// new content, never a mix: a temporary file in the same folder (O_EXCL|O_NOFOLLOW,
// mode 0600 unless `mode` says otherwise), flushed, then renamed over the target.
// A symbolic link at `path` is replaced, never written through.
// Returns 0 or the errno of the failing step.
[[nodiscard]] int WriteFileAtomically(const std::string& path, std::string_view content,
                                      unsigned mode = 0600);

// Reads a whole regular file (never through a symbolic link). Returns 0 or an errno.
[[nodiscard]] int ReadWholeFile(const std::string& path, std::string& content);

}  // namespace orvelle::platform::posix
