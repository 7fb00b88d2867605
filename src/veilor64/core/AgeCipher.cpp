#include "AgeCipher.h"

#include "AgeArmor.h"
#include "AgeErrors.h"
#include "CipherErrors.h"
#include "WipedString.h"
#include "os/RuntimeError.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <new>

namespace orvelle::veilor64 {
namespace age {
namespace {

using os::RuntimeError;

constexpr std::string_view kScryptLabel = "age-encryption.org/v1/scrypt";
constexpr std::string_view kX25519Info = "age-encryption.org/v1/X25519";
constexpr std::size_t kNonceSize = 16;
constexpr std::size_t kSealedChunkSize = kChunkSize + kTagSize;
// Chunks handled per read and write: large writes keep the copy into the page
// cache cheap, as for the ".kdf" cipher.
constexpr std::size_t kChunksPerBatch = 4;

using Nonce = std::array<std::uint8_t, 12>;
const Nonce kZeroNonce{};

// Zeros an object's bytes when it leaves scope.
template <typename T>
class WipeOnExit {
public:
    explicit WipeOnExit(T& object) : object_(object) {}
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;
    ~WipeOnExit() { WipeMemory(&object_, sizeof object_); }

private:
    T& object_;
};

// A buffer of bytes that is wiped when released: it holds plain text. It starts
// on a page: the kernel copies to and from the page cache markedly faster when
// the buffer and the file position are aligned alike.
class Buffer {
public:
    static constexpr std::size_t kAlignment = 4096;

    explicit Buffer(std::size_t size)
        : storage_(new (std::nothrow) std::uint8_t[size + kAlignment]), size_(size + kAlignment) {
        if (!storage_) {
            throw RuntimeError(errors::kOutOfMemory, errors::kOutOfMemoryText);
        }
        const auto address = reinterpret_cast<std::uintptr_t>(storage_.get());
        data_ = storage_.get() + (kAlignment - address % kAlignment) % kAlignment;
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { WipeMemory(storage_.get(), size_); }
    [[nodiscard]] std::uint8_t* get() const noexcept { return data_; }

private:
    std::unique_ptr<std::uint8_t[]> storage_;
    std::size_t size_;
    std::uint8_t* data_ = nullptr;
};

Nonce ChunkNonce(std::uint64_t counter, bool last) {
    Nonce nonce{};
    // Eleven bytes of big-endian counter; a 64-bit counter fills the low eight.
    for (int i = 10; i >= 3; --i) {
        nonce[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(counter & 0xFF);
        counter >>= 8;
    }
    nonce[11] = last ? 1 : 0;
    return nonce;
}

std::vector<std::uint8_t> Salted(std::string_view label, const std::vector<std::uint8_t>& salt) {
    std::vector<std::uint8_t> bytes(label.size() + salt.size());
    std::memcpy(bytes.data(), label.data(), label.size());
    std::memcpy(bytes.data() + label.size(), salt.data(), salt.size());
    return bytes;
}

// A decimal number without sign or leading zero.
bool IsWorkFactorText(const std::string& text) {
    if (text.empty() || text[0] < '1' || text[0] > '9') {
        return false;
    }
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<FileKey> OpenFileKey(const Key32& wrapKey, const std::vector<std::uint8_t>& body) {
    FileKey fileKey{};
    if (!Open(wrapKey, kZeroNonce, body.data(), body.size(), fileKey.data())) {
        WipeMemory(fileKey.data(), fileKey.size());
        return std::nullopt;
    }
    return fileKey;
}

// The source through one buffer: lines for the header, then the payload's chunks
// in place, with a look past each chunk to tell whether the file ends there.
class Reader {
public:
    explicit Reader(ISourceFile& source) : source_(source), buffer_(kBufferSize) {}

    // Makes `wanted` bytes ready at Data(), fewer only where the file ends;
    // returns how many are ready.
    std::size_t Ensure(std::size_t wanted) {
        if (end_ - position_ >= wanted) {
            return wanted;
        }
        std::memmove(buffer_.get(), buffer_.get() + position_, end_ - position_);
        end_ -= position_;
        position_ = 0;
        while (end_ < wanted) {
            const std::size_t got = source_.Read(buffer_.get() + end_, kBufferSize - end_);
            if (got == 0) {
                break;
            }
            end_ += got;
        }
        return std::min(wanted, end_);
    }
    [[nodiscard]] const std::uint8_t* Data() const noexcept { return buffer_.get() + position_; }
    void Consume(std::size_t size) noexcept {
        position_ += size;
        consumed_ += size;
    }
    [[nodiscard]] std::uint64_t Consumed() const noexcept { return consumed_; }

    // One line with its line feed; a header failure when the file or the
    // allowed length ends first.
    std::string ReadLine(std::size_t limit) {
        for (std::size_t look = std::min<std::size_t>(limit, 256);;
             look = std::min(limit, look * 2)) {
            const std::size_t ready = Ensure(look);
            if (const void* found = std::memchr(Data(), '\n', ready)) {
                const auto size =
                    static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - Data()) + 1;
                std::string line(reinterpret_cast<const char*>(Data()), size);
                Consume(size);
                return line;
            }
            if (ready < look || look == limit) {
                ThrowHeaderFailure();
            }
        }
    }

private:
    // Eight sealed chunks and a look past the last: reads stay large, and moving a
    // partial chunk to the front happens once per eight.
    static constexpr std::size_t kBufferSize = 8 * kSealedChunkSize + 1;

    ISourceFile& source_;
    Buffer buffer_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;
};

void ReportPoints(IProgressSink& progress, std::uint64_t first, std::uint64_t last,
                  std::uint64_t total) {
    for (std::uint64_t at = (first + kProgressStep - 1) / kProgressStep * kProgressStep; at <= last;
         at += kProgressStep) {
        progress.Point(MakeProgressPoint(at, total));
    }
}

// Closes the progress window however the operation ends.
class ProgressGuard {
public:
    explicit ProgressGuard(IProgressSink& progress) : progress_(progress) { progress_.Show(); }
    ProgressGuard(const ProgressGuard&) = delete;
    ProgressGuard& operator=(const ProgressGuard&) = delete;
    ~ProgressGuard() { progress_.Close(); }

private:
    IProgressSink& progress_;
};

void CheckArguments(const std::string& sourceFile, const std::string& destinationFile) {
    if (sourceFile.empty()) {
        throw RuntimeError(errors::kSourceMissing, errors::kSourceMissingText);
    }
    if (destinationFile.empty()) {
        throw RuntimeError(errors::kDestinationMissing, errors::kDestinationMissingText);
    }
}

void CheckArguments(const std::string& passPhrase, const std::string& sourceFile,
                    const std::string& destinationFile) {
    if (passPhrase.empty()) {
        throw RuntimeError(errors::kPassPhraseMissing, errors::kPassPhraseMissingText);
    }
    CheckArguments(sourceFile, destinationFile);
}

[[noreturn]] void ThrowPayload(std::int32_t number, const char* text) {
    throw AgeError(Failure::Payload, number, text);
}

}  // namespace

bool IsAgeDestination(const std::string& path) {
    constexpr std::string_view kExtension = ".age";
    if (path.size() < kExtension.size()) {
        return false;
    }
    return std::equal(kExtension.begin(), kExtension.end(), path.end() - kExtension.size(),
                      [](char a, char b) {
                          return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
                      });
}

namespace {

// The file's first bytes (up to a few hundred), or nothing when it is missing.
std::vector<std::uint8_t> FirstBytes(ICipherFiles& files, const std::string& path) {
    std::vector<std::uint8_t> start;
    if (path.empty()) {
        return start;
    }
    if (const std::unique_ptr<ISourceFile> source = files.OpenSource(path)) {
        start.resize(512);
        start.resize(ReadFully(*source, start.data(), start.size()));
    }
    return start;
}

// Read through the armor: a file that does not start as a binary age file but
// shows a marker of PEM text ("-----") near its start, so that a damaged armor
// is reported as such.
bool IsArmoredFile(ICipherFiles& files, const std::string& path) {
    const std::vector<std::uint8_t> start = FirstBytes(files, path);
    if (start.size() >= kMagic.size() && std::equal(kMagic.begin(), kMagic.end(), start.begin())) {
        return false;
    }
    constexpr std::string_view kMarker = "-----";
    return std::search(start.begin(), start.end(), kMarker.begin(), kMarker.end()) != start.end();
}

}  // namespace

bool IsAgeFile(ICipherFiles& files, const std::string& path) {
    const std::vector<std::uint8_t> start = FirstBytes(files, path);
    return (start.size() >= kMagic.size() &&
            std::equal(kMagic.begin(), kMagic.end(), start.begin())) ||
           LooksArmored(start.data(), start.size());
}

ScryptIdentity::ScryptIdentity(std::string passphrase, int maxWorkFactor)
    : passphrase_(std::move(passphrase)), maxWorkFactor_(maxWorkFactor) {
}

ScryptIdentity::~ScryptIdentity() {
    WipeString(passphrase_);
}

std::optional<FileKey> ScryptIdentity::Unwrap(const std::vector<Stanza>& stanzas) {
    for (const Stanza& stanza : stanzas) {
        if (stanza.arguments[0] != "scrypt") {
            continue;
        }
        if (stanza.arguments.size() != 3) {
            ThrowHeaderFailure();
        }
        const auto salt = DecodeBase64(stanza.arguments[1]);
        const std::string& workFactorText = stanza.arguments[2];
        if (!salt || salt->size() != 16 || !IsWorkFactorText(workFactorText) ||
            stanza.body.size() != sizeof(FileKey) + kTagSize) {
            ThrowHeaderFailure();
        }
        if (workFactorText.size() > 2 || std::stoi(workFactorText) > maxWorkFactor_) {
            throw AgeError(Failure::Header, errors::kAgeWorkFactorTooHigh,
                           errors::kAgeWorkFactorTooHighText);
        }
        const std::vector<std::uint8_t> saltInput = Salted(kScryptLabel, *salt);
        Key32 wrapKey =
            Scrypt(passphrase_, saltInput.data(), saltInput.size(), std::stoi(workFactorText));
        const WipeOnExit wipe(wrapKey);
        if (auto fileKey = OpenFileKey(wrapKey, stanza.body)) {
            return fileKey;
        }
    }
    return std::nullopt;
}

Stanza ScryptStanzaShape(int workFactor) {
    Stanza shape;
    shape.arguments = {"scrypt", EncodeBase64(std::vector<std::uint8_t>(16).data(), 16),
                       std::to_string(workFactor)};
    shape.body.resize(sizeof(FileKey) + kTagSize);
    return shape;
}

Stanza ScryptIdentity::Wrap(const FileKey& fileKey, int workFactor) const {
    std::vector<std::uint8_t> salt(16);
    RandomBytes(salt.data(), salt.size());
    const std::vector<std::uint8_t> saltInput = Salted(kScryptLabel, salt);
    Key32 wrapKey = Scrypt(passphrase_, saltInput.data(), saltInput.size(), workFactor);
    const WipeOnExit wipe(wrapKey);
    Stanza stanza;
    stanza.arguments = {"scrypt", EncodeBase64(salt.data(), salt.size()),
                        std::to_string(workFactor)};
    stanza.body.resize(fileKey.size() + kTagSize);
    Seal(wrapKey, kZeroNonce, fileKey.data(), fileKey.size(), stanza.body.data());
    return stanza;
}

X25519Identity::X25519Identity(const Key32& secret)
    : secret_(secret), public_(X25519Public(secret)) {
}

X25519Identity::~X25519Identity() {
    WipeMemory(secret_.data(), secret_.size());
}

std::optional<FileKey> X25519Identity::Unwrap(const std::vector<Stanza>& stanzas) {
    for (const Stanza& stanza : stanzas) {
        if (stanza.arguments[0] != "X25519") {
            continue;
        }
        const auto share =
            stanza.arguments.size() == 2 ? DecodeBase64(stanza.arguments[1]) : std::nullopt;
        if (!share || share->size() != 32 || stanza.body.size() != sizeof(FileKey) + kTagSize) {
            ThrowHeaderFailure();
        }
        Key32 point{};
        std::copy(share->begin(), share->end(), point.begin());
        std::optional<Key32> shared = X25519(secret_, point);
        if (!shared) {
            ThrowHeaderFailure();
        }
        const WipeOnExit wipeShared(*shared);
        std::vector<std::uint8_t> salt(share->begin(), share->end());
        salt.insert(salt.end(), public_.begin(), public_.end());
        Key32 wrapKey = Hkdf(shared->data(), shared->size(), salt.data(), salt.size(), kX25519Info);
        const WipeOnExit wipe(wrapKey);
        if (auto fileKey = OpenFileKey(wrapKey, stanza.body)) {
            return fileKey;
        }
    }
    return std::nullopt;
}

namespace {

// The source, read through its ASCII armor when it has one.
std::unique_ptr<ISourceFile> OpenAgeSource(ICipherFiles& files, const std::string& sourceFile) {
    const bool armored = IsArmoredFile(files, sourceFile);
    std::unique_ptr<ISourceFile> source = files.OpenSource(sourceFile);
    if (!source) {
        throw RuntimeError(errors::kFileNotFound, errors::kFileNotFoundDecryptText);
    }
    if (armored) {
        source = std::make_unique<ArmoredSource>(std::move(source));
    }
    return source;
}

Header ReadHeader(Reader& reader) {
    HeaderParser parser;
    while (!parser.Done()) {
        const std::size_t room =
            kMaxHeaderSize - std::min<std::uint64_t>(reader.Consumed(), kMaxHeaderSize);
        parser.Feed(reader.ReadLine(std::min(room, kMaxLineSize)));
    }
    return parser.Result();
}

// The file key from the first identity that opens the header, or the failure
// that says why none did.
std::optional<FileKey> UnwrapFileKey(const std::vector<IIdentity*>& identities,
                                     const Header& header) {
    const bool hasScrypt =
        std::any_of(header.stanzas.begin(), header.stanzas.end(),
                    [](const Stanza& stanza) { return stanza.arguments[0] == "scrypt"; });
    // A passphrase vouches for the file only when nothing else could have made it.
    if (hasScrypt && header.stanzas.size() > 1) {
        ThrowHeaderFailure();
    }
    std::optional<FileKey> fileKey;
    for (IIdentity* identity : identities) {
        fileKey = identity->Unwrap(header.stanzas);
        if (fileKey) {
            return fileKey;
        }
    }
    if (hasScrypt) {
        throw AgeError(Failure::NoMatch, errors::kIncorrectPassword,
                       errors::kIncorrectPasswordText);
    }
    throw AgeError(Failure::NoMatch, errors::kAgeNeedsKey, errors::kAgeNeedsKeyText);
}

void CheckHeaderMac(const FileKey& fileKey, const Header& header) {
    Key32 macKey = Hkdf(fileKey.data(), fileKey.size(), nullptr, 0, "header");
    const WipeOnExit wipeMacKey(macKey);
    const Key32 mac =
        HmacSha256(macKey, reinterpret_cast<const std::uint8_t*>(header.macInput.data()),
                   header.macInput.size());
    if (!EqualInConstantTime(mac.data(), header.mac.data(), mac.size())) {
        throw AgeError(Failure::Hmac, errors::kAgeHeaderAltered, errors::kAgeHeaderAlteredText);
    }
}

// Reads the payload's nonce, which follows the header, and derives the payload key.
Key32 ReadPayloadKey(Reader& reader, const FileKey& fileKey) {
    std::array<std::uint8_t, kNonceSize> nonce{};
    if (reader.Ensure(nonce.size()) < nonce.size()) {
        ThrowHeaderFailure();
    }
    std::memcpy(nonce.data(), reader.Data(), nonce.size());
    reader.Consume(nonce.size());
    return Hkdf(fileKey.data(), fileKey.size(), nonce.data(), nonce.size(), "payload");
}

// Opens one sealed chunk into `plain`, or throws naming the fault.
void OpenChunk(ChunkCipher& cipher, std::uint64_t counter, bool last, const std::uint8_t* chunk,
               std::size_t size, std::uint8_t* plain) {
    if (size < kTagSize) {
        ThrowPayload(errors::kAgeDamaged, errors::kAgeDamagedText);
    }
    if (!cipher.Open(ChunkNonce(counter, last), chunk, size, plain)) {
        // Which fault it is: a last chunk that is not marked last is a file cut
        // short; a chunk marked last with more behind it, data added after the end.
        if (cipher.Open(ChunkNonce(counter, !last), chunk, size, plain)) {
            if (last) {
                ThrowPayload(errors::kAgeIncomplete, errors::kAgeIncompleteText);
            }
            ThrowPayload(errors::kAgeTrailingData, errors::kAgeTrailingDataText);
        }
        ThrowPayload(errors::kAgeDamaged, errors::kAgeDamagedText);
    }
    // Only an empty file ends in an empty chunk.
    if (last && size == kTagSize && counter > 0) {
        ThrowPayload(errors::kAgeDamaged, errors::kAgeDamagedText);
    }
}

// Opens the chunks from the reader to the file's end into the destination, a
// batch of chunks per write.
void DecryptPayload(Reader& reader, ChunkCipher& cipher, IDestinationFile& destination,
                    IProgressSink& progress, std::uint64_t total) {
    const Buffer plain(kChunksPerBatch * kChunkSize);
    std::size_t out = 0;
    for (std::uint64_t counter = 0;; ++counter) {
        // A chunk is the last one when the file ends within one byte past it.
        const std::size_t ready = reader.Ensure(kSealedChunkSize + 1);
        const bool last = ready <= kSealedChunkSize;
        const std::size_t size = last ? ready : kSealedChunkSize;
        const std::uint64_t at = reader.Consumed();
        if (size >= kTagSize) {
            ReportPoints(progress, at + 1, std::min(at + size, total), total);
        }
        OpenChunk(cipher, counter, last, reader.Data(), size, plain.get() + out);
        reader.Consume(size);
        out += size - kTagSize;
        if (last || out == kChunksPerBatch * kChunkSize) {
            if (out > 0) {
                destination.Write(plain.get(), out);
            }
            out = 0;
        }
        if (last) {
            return;
        }
    }
}

}  // namespace

}  // namespace age

using namespace age;

void AgeCipher::Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                        const std::string& destinationFile) {
    CheckArguments(passPhrase, sourceFile, destinationFile);
    const ProgressGuard window(progress_);
    const std::unique_ptr<ISourceFile> source = files_.OpenSource(sourceFile);
    if (!source) {
        throw RuntimeError(errors::kFileNotFound, errors::kFileNotFoundEncryptText);
    }
    FileKey fileKey{};
    const WipeOnExit wipeFileKey(fileKey);
    RandomBytes(fileKey.data(), fileKey.size());
    Key32 macKey = Hkdf(fileKey.data(), fileKey.size(), nullptr, 0, "header");
    const WipeOnExit wipeMacKey(macKey);
    // The payload depends on the file key alone, the header on scrypt's result: scrypt
    // (about a second and 256 MiB) runs on its own thread while the payload streams
    // behind a header of the size a scrypt stanza always has, written last. The future
    // waits for scrypt whichever way this function leaves, so the keys outlive it.
    std::future<Stanza> wrapped = std::async(
        std::launch::async, [&] { return ScryptIdentity(passPhrase).Wrap(fileKey, workFactor_); });
    const std::size_t headerSize = SerializeHeader({ScryptStanzaShape(workFactor_)}, macKey).size();
    std::array<std::uint8_t, kNonceSize> nonce{};
    RandomBytes(nonce.data(), nonce.size());
    Key32 payloadKey = Hkdf(fileKey.data(), fileKey.size(), nonce.data(), nonce.size(), "payload");
    const WipeOnExit wipePayloadKey(payloadKey);

    const std::uint64_t length = source->Size();
    const std::uint64_t chunks = std::max<std::uint64_t>(1, (length + kChunkSize - 1) / kChunkSize);
    const auto destination = files_.CreateDestination(
        destinationFile, headerSize + kNonceSize + length + chunks * kTagSize);
    const std::vector<std::uint8_t> reserved(headerSize, 0);
    destination->Write(reserved.data(), reserved.size());
    destination->Write(nonce.data(), nonce.size());

    ChunkCipher cipher(payloadKey, true);
    const Buffer plain(kChunksPerBatch * kChunkSize);
    const Buffer sealed(kChunksPerBatch * kSealedChunkSize);
    std::uint64_t done = 0;
    std::uint64_t counter = 0;
    bool finished = false;
    while (!finished) {
        const auto wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(length - done, kChunksPerBatch * kChunkSize));
        if (ReadFully(*source, plain.get(), wanted) < wanted) {
            // The file shrank after it was opened.
            throw RuntimeError(errors::kInputPastEndOfFile, errors::kInputPastEndOfFileText);
        }
        std::size_t in = 0;
        std::size_t out = 0;
        do {
            const std::size_t size = std::min(kChunkSize, wanted - in);
            const bool last = done + in + size == length;
            ReportPoints(progress_, done + in + 1, done + in + size, length);
            cipher.Seal(ChunkNonce(counter++, last), plain.get() + in, size, sealed.get() + out);
            in += size;
            out += size + kTagSize;
            finished = last;
        } while (!finished && in < wanted);
        destination->Write(sealed.get(), out);
        done += wanted;
    }
    const std::string header = SerializeHeader({wrapped.get()}, macKey);
    if (header.size() != headerSize) {
        throw RuntimeError(errors::kInternalError, errors::kInternalErrorText);
    }
    destination->WriteAt(0, reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
    destination->Commit();
}

void AgeCipher::Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                        const std::string& destinationFile) {
    CheckArguments(passPhrase, sourceFile, destinationFile);
    ScryptIdentity identity(passPhrase);
    Decrypt(std::vector<IIdentity*>{&identity}, sourceFile, destinationFile);
}

void AgeCipher::Decrypt(const std::vector<IIdentity*>& identities, const std::string& sourceFile,
                        const std::string& destinationFile) {
    CheckArguments(sourceFile, destinationFile);
    const std::unique_ptr<ISourceFile> source = OpenAgeSource(files_, sourceFile);
    Reader reader(*source);
    const Header header = ReadHeader(reader);
    std::optional<FileKey> fileKey = UnwrapFileKey(identities, header);
    const WipeOnExit wipeFileKey(*fileKey);
    CheckHeaderMac(*fileKey, header);
    Key32 payloadKey = ReadPayloadKey(reader, *fileKey);
    const WipeOnExit wipePayloadKey(payloadKey);

    // The total is the file's length, for the progress points and the size the
    // destination is told to expect; where the file ends, the reading finds out.
    const std::uint64_t total = source->Size();
    const std::uint64_t start = reader.Consumed();
    if (reader.Ensure(1) == 0) {
        ThrowPayload(errors::kAgeIncomplete, errors::kAgeIncompleteText);
    }
    const ProgressGuard window(progress_);
    const std::uint64_t payload = total > start ? total - start : 0;
    const std::uint64_t chunks = (payload + kSealedChunkSize - 1) / kSealedChunkSize;
    const auto destination = files_.CreateDestination(
        destinationFile, payload > chunks * kTagSize ? payload - chunks * kTagSize : 0);
    ChunkCipher cipher(payloadKey, false);
    DecryptPayload(reader, cipher, *destination, progress_, total);
    destination->Commit();
}

}  // namespace orvelle::veilor64
