#pragma once

#include "os/TemporaryFiles.h"

namespace orvelle::os::posix {

// Unnamed files (O_TMPFILE) reached through /proc/self/fd, else O_CREAT|O_EXCL|
// O_NOFOLLOW with mode 0600 and a record that the next start follows; removal
// with unlink, which removes a link itself and never its target.
class PosixTemporaryFiles final : public ITemporaryFiles {
public:
    [[nodiscard]] bool Remove(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<ITemporaryFile> Create(const std::string& folder,
                                                         const std::string& name) override;
    void RemoveLeftovers() override;
};

}  // namespace orvelle::os::posix
