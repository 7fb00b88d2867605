#pragma once

#include "CipherFiles.h"

namespace orvelle::veilor64 {

// Files on a POSIX file system. A destination is written into an unnamed file
// (O_TMPFILE, mode 0600) in its own folder, so that no partial output, plain or
// encrypted, can outlive a killed process; only when it is complete and flushed
// to the disk does it get the destination's name, in one step, replacing what
// was there (a symbolic link at the destination is replaced, never written
// through). A failure on the way leaves the destination as it was. Every output
// is 0600: readable by its owner only. A destination that is itself an open
// unnamed file of this process (a /proc/self/fd path) is written in place.
//
// Long outputs are written back to the disk as they go (sync_file_range), so
// that the closing flush is short and the page cache never fills with them.
class PosixCipherFiles final : public ICipherFiles {
public:
    [[nodiscard]] std::unique_ptr<ISourceFile> OpenSource(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<IDestinationFile> CreateDestination(const std::string& path,
                                                                      std::uint64_t size) override;
};

// Throws the run-time error that matches an errno value of a file operation.
[[noreturn]] void ThrowFileError(int error);

}  // namespace orvelle::veilor64
