// Feeds arbitrary files and passphrases to Decrypt. Input layout: one byte that
// gives the passphrase's length in bytes (any bytes, valid UTF-8 or not), one
// byte that limits the size of single reads, the passphrase, then the file.
//
// Besides the sanitizers it checks what must hold for any input: only the
// library's own errors come back; a failure writes nothing; a success writes
// exactly the file less its header, and encrypting that again with the same
// passphrase gives back the input file byte for byte (or, for a passphrase with
// a character outside Windows-1252, is refused and writes nothing).

#include "Cipher.h"
#include "CipherErrors.h"
#include "CountingProgress.h"
#include "MemoryCipherFiles.h"
#include "Windows1252.h"
#include "os/RuntimeError.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using orvelle::fuzz::CountingProgress;
using orvelle::fuzz::Require;

using namespace orvelle::veilor64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t passLength = data[0] % 16;
    const std::size_t readLimit = 1 + data[1] * 37u;
    if (size < 2 + passLength) {
        return 0;
    }
    const std::string pass(reinterpret_cast<const char*>(data + 2), passLength);
    const std::vector<std::uint8_t> file(data + 2 + passLength, data + size);

    MemoryCipherFiles files;
    files.readLimit = readLimit;
    files.files["in.kdf"] = file;
    CountingProgress progress;
    try {
        Cipher(files, progress).Decrypt(pass, "in.kdf", "out");
    } catch (const orvelle::os::RuntimeError& error) {
        const auto number = error.Number();
        // The length rule is encryption's: decryption says the file is of another
        // passphrase, of no format, or empty.
        Require(number == errors::kIncorrectPassword || number == errors::kNotEncrypted ||
                number == errors::kEmptySource || number == errors::kPassPhraseMissing);
        Require(number != errors::kEmptySource || file.empty());
        Require(files.commits == 0 && files.files.count("out") == 0);
        Require(progress.shows == progress.closes);
        return 0;
    }
    Require(!pass.empty() && CharacterCount(pass) <= 8);
    Require(progress.shows == 1 && progress.closes == 1);
    Require(progress.points == file.size() / kProgressStep);
    const std::vector<std::uint8_t>& plain = files.files.at("out");
    Require(plain.size() + 8 == file.size());

    CountingProgress again;
    if (!FirstCharacterOutsideWindows1252(pass).empty()) {
        // Such a passphrase still opens old files but makes no new one.
        try {
            Cipher(files, again).Encrypt(pass, "out", "back.kdf");
        } catch (const orvelle::os::RuntimeError& error) {
            Require(error.Number() == errors::kPassPhraseCharacter);
            Require(files.files.count("back.kdf") == 0);
            return 0;
        }
        Require(false);
    }
    Cipher(files, again).Encrypt(pass, "out", "back.kdf");
    Require(files.files.at("back.kdf") == file);
    return 0;
}
