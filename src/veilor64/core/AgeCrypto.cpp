#include "AgeCrypto.h"

#include "CipherErrors.h"
#include "os/RuntimeError.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <climits>
#include <memory>

namespace orvelle::veilor64::age {
namespace {

using os::RuntimeError;

[[noreturn]] void ThrowCryptoFailure() {
    // OpenSSL fails on valid input only when it runs out of memory.
    throw RuntimeError(errors::kOutOfMemory, errors::kOutOfMemoryText);
}

void Require(bool ok) {
    if (!ok) {
        ThrowCryptoFailure();
    }
}

template <typename T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* pointer) const noexcept { Free(pointer); }
};
using KdfPtr = std::unique_ptr<EVP_KDF, Deleter<EVP_KDF, EVP_KDF_free>>;
using KdfCtxPtr = std::unique_ptr<EVP_KDF_CTX, Deleter<EVP_KDF_CTX, EVP_KDF_CTX_free>>;
using MacPtr = std::unique_ptr<EVP_MAC, Deleter<EVP_MAC, EVP_MAC_free>>;
using MacCtxPtr = std::unique_ptr<EVP_MAC_CTX, Deleter<EVP_MAC_CTX, EVP_MAC_CTX_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, Deleter<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>>;

// OpenSSL takes non-const pointers in its parameters even where it only reads.
void* Mutable(const void* data) {
    return const_cast<void*>(data);  // NOLINT(cppcoreguidelines-pro-type-const-cast)
}

Key32 Derive(const char* name, OSSL_PARAM* params) {
    const KdfPtr kdf(EVP_KDF_fetch(nullptr, name, nullptr));
    Require(kdf != nullptr);
    const KdfCtxPtr context(EVP_KDF_CTX_new(kdf.get()));
    Require(context != nullptr);
    Key32 out{};
    Require(EVP_KDF_derive(context.get(), out.data(), out.size(), params) > 0);
    return out;
}

int Length(std::size_t size) {
    Require(size <= static_cast<std::size_t>(INT_MAX));
    return static_cast<int>(size);
}

}  // namespace

void RandomBytes(std::uint8_t* data, std::size_t size) {
    Require(RAND_bytes(data, Length(size)) == 1);
}

Key32 Scrypt(std::string_view passphrase, const std::uint8_t* salt, std::size_t saltSize,
             int logN) {
    std::uint64_t n = std::uint64_t{1} << logN;
    std::uint32_t r = 8;
    std::uint32_t p = 1;
    // scrypt needs 128 * r * N bytes for its table and a little more; allow that.
    std::uint64_t maxMemory = std::uint64_t{128} * r * n + (std::uint64_t{1} << 20);
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, Mutable(passphrase.data()),
                                          passphrase.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, Mutable(salt), saltSize),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_N, &n),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_R, &r),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_P, &p),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_MAXMEM, &maxMemory),
        OSSL_PARAM_construct_end()};
    return Derive("SCRYPT", params);
}

Key32 Hkdf(const std::uint8_t* ikm, std::size_t ikmSize, const std::uint8_t* salt,
           std::size_t saltSize, std::string_view info) {
    char digest[] = "SHA256";
    OSSL_PARAM params[5];
    std::size_t count = 0;
    params[count++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
    params[count++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, Mutable(ikm), ikmSize);
    // An empty salt is HMAC's all-zero key, which is what OpenSSL uses without one.
    if (saltSize > 0) {
        params[count++] =
            OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, Mutable(salt), saltSize);
    }
    params[count++] =
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, Mutable(info.data()), info.size());
    params[count] = OSSL_PARAM_construct_end();
    return Derive("HKDF", params);
}

Key32 HmacSha256(const Key32& key, const std::uint8_t* data, std::size_t size) {
    const MacPtr mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
    Require(mac != nullptr);
    const MacCtxPtr context(EVP_MAC_CTX_new(mac.get()));
    Require(context != nullptr);
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    Require(EVP_MAC_init(context.get(), key.data(), key.size(), params) == 1);
    Require(EVP_MAC_update(context.get(), data, size) == 1);
    Key32 out{};
    std::size_t written = 0;
    Require(EVP_MAC_final(context.get(), out.data(), &written, out.size()) == 1 &&
            written == out.size());
    return out;
}

struct ChunkCipher::Context {
    CipherCtxPtr ctx;
    bool encrypting;
};

ChunkCipher::ChunkCipher(const Key32& key, bool encrypting)
    : context_(std::make_unique<Context>(Context{CipherCtxPtr(EVP_CIPHER_CTX_new()), encrypting})) {
    Require(context_->ctx != nullptr);
    Require(EVP_CipherInit_ex(context_->ctx.get(), EVP_chacha20_poly1305(), nullptr, key.data(),
                              nullptr, encrypting ? 1 : 0) == 1);
}

ChunkCipher::~ChunkCipher() = default;

void ChunkCipher::Seal(const std::array<std::uint8_t, 12>& nonce, const std::uint8_t* in,
                       std::size_t size, std::uint8_t* out) {
    EVP_CIPHER_CTX* ctx = context_->ctx.get();
    Require(context_->encrypting);
    Require(EVP_EncryptInit_ex(ctx, nullptr, nullptr, nullptr, nonce.data()) == 1);
    int written = 0;
    if (size > 0) {
        Require(EVP_EncryptUpdate(ctx, out, &written, in, Length(size)) == 1);
    }
    int last = 0;
    Require(EVP_EncryptFinal_ex(ctx, out + written, &last) == 1);
    Require(static_cast<std::size_t>(written) + static_cast<std::size_t>(last) == size);
    Require(EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_GET_TAG, static_cast<int>(kTagSize),
                                out + size) == 1);
}

bool ChunkCipher::Open(const std::array<std::uint8_t, 12>& nonce, const std::uint8_t* in,
                       std::size_t size, std::uint8_t* out) {
    EVP_CIPHER_CTX* ctx = context_->ctx.get();
    Require(!context_->encrypting && size >= kTagSize);
    const std::size_t plain = size - kTagSize;
    Require(EVP_DecryptInit_ex(ctx, nullptr, nullptr, nullptr, nonce.data()) == 1);
    int written = 0;
    if (plain > 0) {
        Require(EVP_DecryptUpdate(ctx, out, &written, in, Length(plain)) == 1);
    }
    Require(EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_SET_TAG, static_cast<int>(kTagSize),
                                Mutable(in + plain)) == 1);
    int last = 0;
    return EVP_DecryptFinal_ex(ctx, out + written, &last) == 1;
}

void Seal(const Key32& key, const std::array<std::uint8_t, 12>& nonce, const std::uint8_t* in,
          std::size_t size, std::uint8_t* out) {
    ChunkCipher(key, true).Seal(nonce, in, size, out);
}

bool Open(const Key32& key, const std::array<std::uint8_t, 12>& nonce, const std::uint8_t* in,
          std::size_t size, std::uint8_t* out) {
    return ChunkCipher(key, false).Open(nonce, in, size, out);
}

std::optional<Key32> X25519(const Key32& scalar, const Key32& point) {
    const PkeyPtr own(
        EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, scalar.data(), scalar.size()));
    const PkeyPtr peer(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, point.data(), point.size()));
    Require(own != nullptr && peer != nullptr);
    const PkeyCtxPtr context(EVP_PKEY_CTX_new(own.get(), nullptr));
    Require(context != nullptr);
    Require(EVP_PKEY_derive_init(context.get()) == 1);
    Require(EVP_PKEY_derive_set_peer(context.get(), peer.get()) == 1);
    Key32 shared{};
    std::size_t size = shared.size();
    // OpenSSL itself refuses a result of all zeros; the check below says the same
    // for versions that do not.
    if (EVP_PKEY_derive(context.get(), shared.data(), &size) != 1 || size != shared.size()) {
        return std::nullopt;
    }
    const Key32 zero{};
    if (EqualInConstantTime(shared.data(), zero.data(), shared.size())) {
        return std::nullopt;
    }
    return shared;
}

Key32 X25519Public(const Key32& scalar) {
    const PkeyPtr own(
        EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, scalar.data(), scalar.size()));
    Require(own != nullptr);
    Key32 out{};
    std::size_t size = out.size();
    Require(EVP_PKEY_get_raw_public_key(own.get(), out.data(), &size) == 1 && size == out.size());
    return out;
}

bool EqualInConstantTime(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) noexcept {
    return CRYPTO_memcmp(a, b, size) == 0;
}

}  // namespace orvelle::veilor64::age
