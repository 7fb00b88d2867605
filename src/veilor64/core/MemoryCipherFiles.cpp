#include "MemoryCipherFiles.h"

#include "CipherErrors.h"
#include "os/RuntimeError.h"

#include <algorithm>
#include <cstring>

namespace orvelle::veilor64 {
namespace {

class MemorySource final : public ISourceFile {
public:
    MemorySource(std::vector<std::uint8_t> content, std::size_t readLimit, std::uint64_t missing)
        : content_(std::move(content)), readLimit_(readLimit), missing_(missing) {}
    [[nodiscard]] std::uint64_t Size() const override { return content_.size() + missing_; }
    [[nodiscard]] std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        const std::size_t count = std::min({size, readLimit_, content_.size() - offset_});
        if (count > 0) {
            std::memcpy(buffer, content_.data() + offset_, count);
        }
        offset_ += count;
        return count;
    }

private:
    std::vector<std::uint8_t> content_;
    std::size_t readLimit_;
    std::uint64_t missing_;
    std::size_t offset_ = 0;
};

class MemoryDestination final : public IDestinationFile {
public:
    MemoryDestination(MemoryCipherFiles& owner, std::string path)
        : owner_(owner), path_(std::move(path)) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        if (owner_.failWritesAfter && written_.size() + size > *owner_.failWritesAfter) {
            throw os::RuntimeError(errors::kDiskFull, errors::kDiskFullText);
        }
        written_.insert(written_.end(), data, data + size);
    }
    void WriteAt(std::uint64_t offset, const std::uint8_t* data, std::size_t size) override {
        if (offset > written_.size() || size > written_.size() - offset) {
            throw os::RuntimeError(errors::kInternalError, errors::kInternalErrorText);
        }
        std::copy(data, data + size, written_.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    void Commit() override {
        owner_.files[path_] = std::move(written_);
        ++owner_.commits;
    }

private:
    MemoryCipherFiles& owner_;
    std::string path_;
    std::vector<std::uint8_t> written_;
};

}  // namespace

std::unique_ptr<ISourceFile> MemoryCipherFiles::OpenSource(const std::string& path) {
    const auto found = files.find(path);
    if (found == files.end()) {
        return nullptr;
    }
    return std::make_unique<MemorySource>(found->second, readLimit, shrinkAfterOpen);
}

std::unique_ptr<IDestinationFile> MemoryCipherFiles::CreateDestination(const std::string& path,
                                                                       std::uint64_t /*size*/) {
    ++destinationsCreated;
    return std::make_unique<MemoryDestination>(*this, path);
}

}  // namespace orvelle::veilor64
