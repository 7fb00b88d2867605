#pragma once

#include "CipherFiles.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::veilor64 {

// Files held in memory, for tests and fuzzing: sources are read from `files`,
// and a committed destination replaces its entry there. It can be told to fail
// a write after a number of bytes, as a full disk would.
class MemoryCipherFiles final : public ICipherFiles {
public:
    [[nodiscard]] std::unique_ptr<ISourceFile> OpenSource(const std::string& path) override;
    [[nodiscard]] std::unique_ptr<IDestinationFile> CreateDestination(const std::string& path,
                                                                      std::uint64_t size) override;

    std::map<std::string, std::vector<std::uint8_t>> files;
    // When set, a destination's write fails with "Disk full" once it would pass
    // this many bytes (counted over each destination).
    std::optional<std::size_t> failWritesAfter;
    // Largest single read the sources hand out; smaller values exercise short reads.
    std::size_t readLimit = static_cast<std::size_t>(-1);
    // Bytes a source claims beyond its content, as a file cut short after it
    // was opened does.
    std::uint64_t shrinkAfterOpen = 0;
    int destinationsCreated = 0;
    int commits = 0;
};

}  // namespace orvelle::veilor64
