#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orvelle::veilor64 {

// A source file opened for one operation.
class ISourceFile {
public:
    virtual ~ISourceFile() = default;

    // The file's length when it was opened.
    [[nodiscard]] virtual std::uint64_t Size() const = 0;
    // Reads up to `size` bytes; fewer only at the end of the file, 0 at its end.
    // Throws RuntimeError when reading fails.
    [[nodiscard]] virtual std::size_t Read(std::uint8_t* buffer, std::size_t size) = 0;
};

// Reads until `size` bytes arrived or the file ended; how many arrived.
[[nodiscard]] inline std::size_t ReadFully(ISourceFile& source, std::uint8_t* buffer,
                                           std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const std::size_t part = source.Read(buffer + got, size - got);
        if (part == 0) {
            break;
        }
        got += part;
    }
    return got;
}

// A destination being written. Nothing is visible at the destination path until
// Commit: a destination dropped without it leaves the path as it was.
class IDestinationFile {
public:
    virtual ~IDestinationFile() = default;

    // Appends all `size` bytes or throws RuntimeError.
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
    // Overwrites `size` bytes already written, from `offset` on (a header whose
    // content is known only at the end), or throws RuntimeError.
    virtual void WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) = 0;
    // Puts the written bytes in place of the destination in one step, or throws
    // RuntimeError and leaves the destination path as it was.
    virtual void Commit() = 0;
};

// Where the operations read and write files.
class ICipherFiles {
public:
    virtual ~ICipherFiles() = default;

    // The opened source, or null when no file exists at the path. Throws
    // RuntimeError when it exists but cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<ISourceFile> OpenSource(const std::string& path) = 0;
    // Starts a destination that will hold `size` bytes. Throws RuntimeError when
    // it cannot be written.
    [[nodiscard]] virtual std::unique_ptr<IDestinationFile> CreateDestination(
        const std::string& path, std::uint64_t size) = 0;
};

}  // namespace orvelle::veilor64
