#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

// The primitives of the age format, each a thin wrapper over OpenSSL 3: scrypt,
// HKDF-SHA-256, HMAC-SHA-256, ChaCha20-Poly1305, X25519 and the system's random
// bytes. Failures of OpenSSL itself (out of memory, say) throw RuntimeError.
namespace orvelle::veilor64::age {

using Key32 = std::array<std::uint8_t, 32>;
using FileKey = std::array<std::uint8_t, 16>;
inline constexpr std::size_t kTagSize = 16;

// Fills `size` bytes from the system's generator.
void RandomBytes(std::uint8_t* data, std::size_t size);

// scrypt with r = 8 and p = 1, N = 2^logN, 32 bytes out.
[[nodiscard]] Key32 Scrypt(std::string_view passphrase, const std::uint8_t* salt,
                           std::size_t saltSize, int logN);

// HKDF-SHA-256 (extract with `salt`, expand with `info`), 32 bytes out.
[[nodiscard]] Key32 Hkdf(const std::uint8_t* ikm, std::size_t ikmSize, const std::uint8_t* salt,
                         std::size_t saltSize, std::string_view info);

[[nodiscard]] Key32 HmacSha256(const Key32& key, const std::uint8_t* data, std::size_t size);

// ChaCha20-Poly1305 of one message: `out` receives size + 16 bytes (the tag last).
void Seal(const Key32& key, const std::array<std::uint8_t, 12>& nonce, const std::uint8_t* in,
          std::size_t size, std::uint8_t* out);
// Opens size bytes (tag included, size >= 16) into size - 16 bytes; false when the
// tag does not match.
[[nodiscard]] bool Open(const Key32& key, const std::array<std::uint8_t, 12>& nonce,
                        const std::uint8_t* in, std::size_t size, std::uint8_t* out);

// X25519(scalar, point); nullopt when the result is all zeros (a low-order point).
[[nodiscard]] std::optional<Key32> X25519(const Key32& scalar, const Key32& point);
// X25519(scalar, basepoint).
[[nodiscard]] Key32 X25519Public(const Key32& scalar);

// One ChaCha20-Poly1305 context kept for a whole payload, so that each chunk
// costs only a nonce change.
class ChunkCipher {
public:
    ChunkCipher(const Key32& key, bool encrypting);
    ~ChunkCipher();
    ChunkCipher(const ChunkCipher&) = delete;
    ChunkCipher& operator=(const ChunkCipher&) = delete;

    void Seal(const std::array<std::uint8_t, 12>& nonce, const std::uint8_t* in, std::size_t size,
              std::uint8_t* out);
    [[nodiscard]] bool Open(const std::array<std::uint8_t, 12>& nonce, const std::uint8_t* in,
                            std::size_t size, std::uint8_t* out);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

// Compares in time independent of the content.
[[nodiscard]] bool EqualInConstantTime(const std::uint8_t* a, const std::uint8_t* b,
                                       std::size_t size) noexcept;

}  // namespace orvelle::veilor64::age
