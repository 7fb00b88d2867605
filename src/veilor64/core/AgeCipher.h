#pragma once

#include "AgeFormat.h"
#include "CipherFiles.h"
#include "Progress.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::veilor64 {

namespace age {

// New files: scrypt work factor 2^18, as the age tools themselves use.
inline constexpr int kNewFileWorkFactor = 18;
// Files that ask for more than 2^22 (4 GiB of memory) are refused.
inline constexpr int kMaxWorkFactor = 22;
// The payload is cut into chunks of 64 KiB, each sealed with its own tag.
inline constexpr std::size_t kChunkSize = std::size_t{64} * 1024;

// True when the path ends in ".age", in any letter case.
[[nodiscard]] bool IsAgeDestination(const std::string& path);
// True when the file exists and starts as an age file does ("age-encryption.org/").
[[nodiscard]] bool IsAgeFile(ICipherFiles& files, const std::string& path);

// What can unwrap the file key from a header's stanzas.
class IIdentity {
public:
    virtual ~IIdentity() = default;
    // The file key from a stanza addressed to this identity, nullopt when none is
    // (stanzas of other types are ignored). Throws AgeError for a stanza of its
    // own type that is malformed.
    [[nodiscard]] virtual std::optional<FileKey> Unwrap(const std::vector<Stanza>& stanzas) = 0;
};

// The passphrase: the "scrypt" stanza.
// A scrypt stanza of this work factor with zero salt and body: every scrypt stanza
// serialises to the same size, so a header can be reserved before scrypt is done.
[[nodiscard]] Stanza ScryptStanzaShape(int workFactor);

class ScryptIdentity final : public IIdentity {
public:
    explicit ScryptIdentity(std::string passphrase, int maxWorkFactor = kMaxWorkFactor);
    ~ScryptIdentity() override;
    ScryptIdentity(const ScryptIdentity&) = delete;
    ScryptIdentity& operator=(const ScryptIdentity&) = delete;
    [[nodiscard]] std::optional<FileKey> Unwrap(const std::vector<Stanza>& stanzas) override;
    // A new stanza wrapping `fileKey` under the passphrase.
    [[nodiscard]] Stanza Wrap(const FileKey& fileKey, int workFactor) const;

private:
    std::string passphrase_;
    int maxWorkFactor_;
};

// An X25519 secret key: the "X25519" stanza.
class X25519Identity final : public IIdentity {
public:
    explicit X25519Identity(const Key32& secret);
    ~X25519Identity() override;
    X25519Identity(const X25519Identity&) = delete;
    X25519Identity& operator=(const X25519Identity&) = delete;
    [[nodiscard]] std::optional<FileKey> Unwrap(const std::vector<Stanza>& stanzas) override;

private:
    Key32 secret_;
    Key32 public_;
};

}  // namespace age

// The age format (version 1) behind the same calls as the ".kdf" cipher: a
// passphrase wraps a random file key in an scrypt stanza; the file is sealed in
// 64 KiB chunks of ChaCha20-Poly1305. Streams through fixed buffers, reports
// progress at every multiple of 7168 bytes like the ".kdf" cipher, and writes
// through the same destination, which appears only when complete. Failures
// throw os::RuntimeError (age::AgeError for the file's own faults).
class AgeCipher {
public:
    AgeCipher(ICipherFiles& files, IProgressSink& progress,
              int workFactor = age::kNewFileWorkFactor)
        : files_(files), progress_(progress), workFactor_(workFactor) {}

    void Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile);
    void Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile);
    // Decrypts with whatever identities are given (the passphrase is one of them).
    void Decrypt(const std::vector<age::IIdentity*>& identities, const std::string& sourceFile,
                 const std::string& destinationFile);

private:
    ICipherFiles& files_;
    IProgressSink& progress_;
    int workFactor_;
};

}  // namespace orvelle::veilor64
