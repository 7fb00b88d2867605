#pragma once

#include "CipherFiles.h"

namespace orvelle::veilor64 {

// Files on a POSIX file system. A destination is written to a new temporary
// file in its own folder (O_EXCL|O_NOFOLLOW, mode 0600 while it is written),
// given its final mode (an existing destination's mode, else 0666 less the
// umask) and renamed over the destination; anything that fails on the way
// removes the temporary file and leaves the destination as it was. A symbolic
// link at the destination is replaced, never written through.
class PosixCipherFiles final : public ICipherFiles {
public:
    [[nodiscard]] std::unique_ptr<ISourceFile> OpenSource(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<IDestinationFile> CreateDestination(const std::string& path,
                                                                      std::uint64_t size) override;
};

// Throws the run-time error that matches an errno value of a file operation.
[[noreturn]] void ThrowFileError(int error);

}  // namespace orvelle::veilor64
