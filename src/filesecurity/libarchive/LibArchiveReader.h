#pragma once

#include "filesecurity/Archive.h"
#include "os/EventPump.h"

#include <chrono>

namespace orvelle::filesecurity::libarchive {

// Extracts ZIP archives with libarchive, relative to an open handle of the
// destination folder: no absolute path, no "..", no component that is a link, and
// links created last and only when they stay inside. Every file is written as an
// unnamed file (O_TMPFILE) and linked into place when whole. Yields to the event
// pump about every 15 ms.
class LibArchiveReader final : public IArchiveReader {
public:
    // `yieldInterval`: the least time between two turns of the user interface.
    explicit LibArchiveReader(os::IEventPump& pump, std::chrono::milliseconds yieldInterval =
                                                        std::chrono::milliseconds(15))
        : pump_(pump), yieldInterval_(yieldInterval) {}

    [[nodiscard]] std::size_t CountExisting(const std::string& archivePath,
                                            const std::string& folder) override;
    [[nodiscard]] std::vector<SkippedEntry> ExtractTo(const std::string& archivePath,
                                                      const std::string& folder,
                                                      const ArchiveProgress& progress,
                                                      ExistingFiles existing) override;

private:
    os::IEventPump& pump_;
    std::chrono::milliseconds yieldInterval_;
};

}  // namespace orvelle::filesecurity::libarchive
