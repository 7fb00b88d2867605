#include "Cipher.h"

#include "CipherErrors.h"
#include "PassKey.h"
#include "Windows1252.h"
#include "WipedString.h"
#include "os/RuntimeError.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <memory>
#include <new>

namespace orvelle::veilor64 {
namespace {

using os::RuntimeError;

void CheckPresent(const std::string& passPhrase, const std::string& sourceFile,
                  const std::string& destinationFile) {
    if (passPhrase.empty()) {
        throw RuntimeError(errors::kPassPhraseMissing, errors::kPassPhraseMissingText);
    }
    if (sourceFile.empty()) {
        throw RuntimeError(errors::kSourceMissing, errors::kSourceMissingText);
    }
    if (destinationFile.empty()) {
        throw RuntimeError(errors::kDestinationMissing, errors::kDestinationMissingText);
    }
}

// Every ".kdf" file starts with a header that is its own mirror image; a file
// that does not is of no passphrase.
bool IsMirror(const std::uint8_t (&header)[kKeyLength]) {
    return std::equal(header, header + kKeyLength / 2,
                      std::make_reverse_iterator(header + kKeyLength));
}

// The work buffer, wiped when it is released: it holds plain text at times.
// Every write but the last starts a whole buffer into the destination, and the
// buffer sits at a fixed place in a page: the kernel copies between the page
// cache and a buffer at a fraction of its speed when the buffer's bytes sit a few
// bytes further into a page than the file's (measured here: 8 bytes further cost
// 3 times the system time of a read, 56 or 64 nothing). The buffer starts kLead
// bytes into a page, so that a byte's place in its page of the buffer is its
// place in the file's page plus 72 (encryption: the header comes first) or 56
// (decryption: reads start 8 bytes into the file), and minus 64 in the page of
// the destination: neither reads nor writes meet that case, whatever address the
// allocator returns.
class WorkBuffer {
public:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kLead = 64;
    static constexpr std::size_t kSize = Cipher::kBufferSize + kPage + kLead;

    WorkBuffer() : storage_(new (std::nothrow) std::uint8_t[kSize]) {
        if (!storage_) {
            throw RuntimeError(errors::kOutOfMemory, errors::kOutOfMemoryText);
        }
        const auto address = reinterpret_cast<std::uintptr_t>(storage_.get());
        data_ = storage_.get() + (kPage - address % kPage) % kPage + kLead;
    }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;
    ~WorkBuffer() { WipeMemory(storage_.get(), kSize); }
    [[nodiscard]] std::uint8_t* get() const noexcept { return data_; }

private:
    std::unique_ptr<std::uint8_t[]> storage_;
    std::uint8_t* data_ = nullptr;
};

// Closes the progress window when the operation leaves by a failure, so that
// no stale window stays behind.
class ProgressGuard {
public:
    explicit ProgressGuard(IProgressSink& progress) : progress_(progress) {}
    ProgressGuard(const ProgressGuard&) = delete;
    ProgressGuard& operator=(const ProgressGuard&) = delete;
    ~ProgressGuard() {
        if (!closed_) {
            progress_.Close();
        }
    }
    void Close() noexcept {
        closed_ = true;
        progress_.Close();
    }

private:
    IProgressSink& progress_;
    bool closed_ = false;
};

// XORs `size` bytes in place, the first being position `at` (see Transform),
// with a progress point before every position that is a multiple of the step.
void TransformChunk(std::uint8_t* data, std::size_t size, std::uint64_t at, std::uint64_t first,
                    std::uint64_t total, const PassKey& key, IProgressSink& progress) {
    std::size_t done = 0;
    while (done < size) {
        const std::uint64_t here = at + done;
        if (here % kProgressStep == 0) {
            progress.Point(MakeProgressPoint(here, total));
        }
        const std::uint64_t nextPoint = (here / kProgressStep + 1) * kProgressStep;
        const auto length =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - done, nextPoint - here));
        XorKeyStream(data + done, length, key.Bytes(),
                     static_cast<std::size_t>((here - first) % kKeyLength));
        done += length;
    }
}

// Writes `prefix`, then streams bytes `first` ... `total` (1-based positions in
// the walked buffer) from the source to the destination through the key
// stream. A progress point falls on every position that is a multiple of the
// step, before that byte is transformed; the key restarts at p1 with the byte
// at `first`.
void Transform(ISourceFile& source, IDestinationFile& destination, const PassKey& key,
               const std::array<std::uint8_t, kKeyLength>* prefix, std::uint64_t first,
               std::uint64_t total, IProgressSink& progress) {
    WorkBuffer buffer;
    // The prefix shares the first write, so later writes start buffer-aligned.
    std::size_t offset = 0;
    if (prefix != nullptr) {
        std::copy(prefix->begin(), prefix->end(), buffer.get());
        offset = prefix->size();
    }
    std::uint64_t position = first;
    do {
        const auto wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(Cipher::kBufferSize - offset, total + 1 - position));
        std::uint8_t* const data = buffer.get() + offset;
        const std::size_t got = ReadFully(source, data, wanted);
        if (got < wanted) {
            // The file shrank after it was opened.
            throw RuntimeError(errors::kInputPastEndOfFile, errors::kInputPastEndOfFileText);
        }
        TransformChunk(data, got, position, first, total, key, progress);
        if (offset + got > 0) {
            destination.Write(buffer.get(), offset + got);
        }
        position += got;
        offset = 0;
    } while (position <= total);
}

}  // namespace

void Cipher::Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                     const std::string& destinationFile) {
    CheckPresent(passPhrase, sourceFile, destinationFile);
    if (CharacterCount(passPhrase) > kKeyLength) {
        throw RuntimeError(errors::kPassPhraseTooLong, errors::kPassPhraseTooLongText);
    }
    CheckKdfPassPhrase(passPhrase);
    const PassKey key(passPhrase);
    progress_.Show();
    ProgressGuard guard(progress_);
    const std::unique_ptr<ISourceFile> source = files_.OpenSource(sourceFile);
    if (!source) {
        throw RuntimeError(errors::kFileNotFound, errors::kFileNotFoundEncryptText);
    }
    const std::uint64_t length = source->Size();
    const auto destination = files_.CreateDestination(destinationFile, length + kKeyLength);
    Transform(*source, *destination, key, &key.Header(), 1, length, progress_);
    destination->Commit();
    guard.Close();
}

void Cipher::Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                     const std::string& destinationFile) {
    CheckPresent(passPhrase, sourceFile, destinationFile);
    const std::unique_ptr<ISourceFile> source = files_.OpenSource(sourceFile);
    if (!source) {
        throw RuntimeError(errors::kFileNotFound, errors::kFileNotFoundDecryptText);
    }
    const std::uint64_t length = source->Size();
    if (length == 0) {
        throw RuntimeError(errors::kEmptySource, errors::kEmptySourceText);
    }
    std::uint8_t header[kKeyLength] = {};
    if (length < kKeyLength || ReadFully(*source, header, kKeyLength) < kKeyLength ||
        !IsMirror(header)) {
        throw RuntimeError(errors::kNotEncrypted, errors::kNotEncryptedText);
    }
    // A passphrase longer than the key never made a ".kdf" file: it is simply not this
    // file's passphrase.
    if (CharacterCount(passPhrase) > kKeyLength) {
        throw RuntimeError(errors::kIncorrectPassword, errors::kIncorrectPasswordText);
    }
    const PassKey key(passPhrase);
    if (!std::equal(key.Header().begin(), key.Header().end(), header)) {
        throw RuntimeError(errors::kIncorrectPassword, errors::kIncorrectPasswordText);
    }
    progress_.Show();
    ProgressGuard guard(progress_);
    const auto destination = files_.CreateDestination(destinationFile, length - kKeyLength);
    Transform(*source, *destination, key, nullptr, kKeyLength + 1, length, progress_);
    destination->Commit();
    guard.Close();
}

}  // namespace orvelle::veilor64
