// The age decoder on arbitrary input, in two ways chosen by the first byte:
//
//   even: byte 1 gives a passphrase length, then the passphrase, then any file,
//         decrypted with scrypt work factors up to 2^10 (the test kit's own);
//   odd:  bytes 1-6 describe one change (none, a flipped byte, a cut, bytes
//         added) made to a file we encrypt from the rest of the input.
//
// Besides the sanitizers it checks what must hold: only the library's errors
// come back, a failure writes nothing and leaves no progress window open, an
// unchanged file decrypts to its plain text and any change is refused.

#include "AgeCipher.h"
#include "CountingProgress.h"
#include "MemoryCipherFiles.h"
#include "os/RuntimeError.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using orvelle::fuzz::CountingProgress;
using orvelle::fuzz::Require;

using namespace orvelle::veilor64;

// Decrypts "in" to "out"; true on success. A failure must leave nothing behind.
bool Decrypts(MemoryCipherFiles& files, age::IIdentity& identity) {
    CountingProgress progress;
    try {
        AgeCipher(files, progress).Decrypt(std::vector<age::IIdentity*>{&identity}, "in", "out");
    } catch (const age::AgeError&) {
        Require(files.commits == 0 && files.files.count("out") == 0);
        Require(progress.shows == progress.closes);
        return false;
    }
    Require(progress.shows == 1 && progress.closes == 1);
    return true;
}

void DecryptAnyFile(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size < 1 + data[0] % 32u) {
        return;
    }
    const std::size_t passLength = data[0] % 32u;
    age::ScryptIdentity identity(std::string(reinterpret_cast<const char*>(data + 1), passLength),
                                 10);
    MemoryCipherFiles files;
    files.files["in"].assign(data + 1 + passLength, data + size);
    files.readLimit = 1 + passLength * 311u;
    static_cast<void>(Decrypts(files, identity));
}

void ChangeOurFile(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return;
    }
    const unsigned change = data[0] % 4u;
    const std::size_t at = data[1] | (std::size_t{data[2]} << 8) | (std::size_t{data[3]} << 16);
    const std::uint8_t value = data[4];
    MemoryCipherFiles files;
    files.files["plain"].assign(data + 5, data + size);
    CountingProgress progress;
    AgeCipher(files, progress, 1).Encrypt("fuzz", "plain", "in");
    std::vector<std::uint8_t>& file = files.files["in"];
    bool changed = false;
    if (change == 1 && value != 0) {
        file[at % file.size()] ^= value;
        changed = true;
    } else if (change == 2) {
        file.resize(at % file.size());
        changed = true;
    } else if (change == 3) {
        file.insert(file.end(), 1 + value, static_cast<std::uint8_t>(at));
        changed = true;
    }
    files.commits = 0;
    age::ScryptIdentity identity("fuzz");
    const bool decrypted = Decrypts(files, identity);
    Require(decrypted != changed);
    if (decrypted) {
        Require(files.files.at("out") == files.files.at("plain"));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    try {
        if (data[0] % 2 == 0) {
            DecryptAnyFile(data + 1, size - 1);
        } else {
            ChangeOurFile(data + 1, size - 1);
        }
    } catch (const orvelle::os::RuntimeError&) {
        // Only the age decoder's own failures are expected.
        std::abort();
    }
    return 0;
}
