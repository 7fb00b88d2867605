#pragma once

#include "CipherFiles.h"
#include "Progress.h"

#include <cstddef>
#include <string>

namespace orvelle::veilor64 {

// The file cipher: an 8-byte check header, then the file XORed with the padded
// passphrase repeated. Files are streamed through one fixed buffer, so memory
// stays the same whatever their size; the destination appears only when it is
// complete. Failures throw os::RuntimeError with the library's numbers.
class Cipher {
public:
    // Bytes read, transformed and written at a time: a multiple of 8 so that
    // every chunk starts on the first key byte, small enough to stay in the
    // processor's cache, and no larger because bigger writes make the kernel
    // look for bigger blocks of page-cache memory (measured: 1 MiB writes cost
    // up to twice the system time of 256 KiB ones).
    static constexpr std::size_t kBufferSize = std::size_t{256} << 10;

    Cipher(ICipherFiles& files, IProgressSink& progress) : files_(files), progress_(progress) {}

    // Writes the check header and the encrypted source to the destination.
    void Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile);
    // Checks the source's header against the passphrase and writes the plain file.
    void Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile);

private:
    ICipherFiles& files_;
    IProgressSink& progress_;
};

}  // namespace orvelle::veilor64
