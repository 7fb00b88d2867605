#pragma once

#include "filesecurity/Archive.h"
#include "os/EventPump.h"

#include <chrono>

namespace orvelle::filesecurity::libarchive {

// ZIP archives of a folder with libarchive: deflate, UTF-8 names, links stored as
// links. Reads the folder relative to open directory handles and never follows a
// link inside it; yields to the event pump about every 15 ms.
class LibArchiveWriter final : public IArchiveWriter {
public:
    // `yieldInterval`: the least time between two turns of the user interface.
    explicit LibArchiveWriter(os::IEventPump& pump, std::chrono::milliseconds yieldInterval =
                                                        std::chrono::milliseconds(15))
        : pump_(pump), yieldInterval_(yieldInterval) {}

    [[nodiscard]] std::vector<SkippedEntry> PackFolder(const std::string& folder,
                                                       const std::string& archivePath,
                                                       const ArchiveProgress& progress,
                                                       const std::string& leaveOut) override;

private:
    os::IEventPump& pump_;
    std::chrono::milliseconds yieldInterval_;
};

}  // namespace orvelle::filesecurity::libarchive
