// The cipher on in-memory files: the format byte for byte, the checks and
// their errors, the progress points, and what a failure leaves behind.

#include "Cipher.h"
#include "CipherErrors.h"
#include "MemoryCipherFiles.h"
#include "PassKey.h"
#include "os/RuntimeError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace orvelle::veilor64 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using os::RuntimeError;

Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes FromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(generator());
    }
    return bytes;
}

// The format written out byte by byte, as a model to hold the streaming code to.
Bytes ModelEncrypt(const Bytes& key, const Bytes& plain) {
    Bytes out;
    for (std::size_t k = 0; k < 8; ++k) {
        out.push_back(static_cast<std::uint8_t>(key[k] ^ key[7 - k]));
    }
    for (std::size_t j = 0; j < plain.size(); ++j) {
        out.push_back(static_cast<std::uint8_t>(plain[j] ^ key[j % 8]));
    }
    return out;
}

// Records what the operations do with the progress window.
class RecordingProgress final : public IProgressSink {
public:
    void Show() override { steps.push_back("show"); }
    void Point(const ProgressPoint& point) override {
        steps.push_back(ProgressCaption(point));
        points.push_back(point);
    }
    void Close() noexcept override { steps.push_back("close"); }

    std::vector<std::string> steps;
    std::vector<ProgressPoint> points;
};

class CipherTest : public testing::Test {
protected:
    void Encrypt(const std::string& pass, const std::string& source, const std::string& target) {
        Cipher(files, progress).Encrypt(pass, source, target);
    }
    void Decrypt(const std::string& pass, const std::string& source, const std::string& target) {
        Cipher(files, progress).Decrypt(pass, source, target);
    }

    MemoryCipherFiles files;
    RecordingProgress progress;
};

struct KnownAnswer {
    const char* name;
    std::string passPhrase;
    Bytes plain;
    std::string encryptedHex;
};

// Test names show the row, not its bytes.
void PrintTo(const KnownAnswer& row, std::ostream* out) {
    *out << row.name;
}

class KnownAnswerTest : public CipherTest, public testing::WithParamInterface<KnownAnswer> {};

TEST_P(KnownAnswerTest, EncryptsToTheVectorAndDecryptsBack) {
    const KnownAnswer& row = GetParam();
    files.files["plain"] = row.plain;
    Encrypt(row.passPhrase, "plain", "encrypted");
    EXPECT_EQ(files.files["encrypted"], FromHex(row.encryptedHex));
    Decrypt(row.passPhrase, "encrypted", "decrypted");
    EXPECT_EQ(files.files["decrypted"], row.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, KnownAnswerTest,
    testing::Values(
        // Header c1^-, c2^-, c3^-, 0, 0, c3^-, c2^-, c1^-; body from p1 on.
        KnownAnswer{"ThreeCharacters", "abc", FromText("Hello"), "4c4f4e00004e4f4c29070f4142"},
        // The ninth data byte goes back to p1.
        KnownAnswer{"EightCharactersWrapAround", "PassWord", FromText("0123456789"),
                    "34131c24241c133460504140635a44536858"},
        // Characters outside ASCII take their single-byte codes (e9, 80).
        KnownAnswer{"CodePageCharacters", "\xC3\xA9\xE2\x82\xAC", Bytes(9, 0),
                    "c4ad00000000adc4e9802d2d2d2d2d2de9"},
        KnownAnswer{"QuestionMarkItself", "?", FromText("xyz"), "1200000000000012475457"}),
    [](const testing::TestParamInfo<KnownAnswer>& rowInfo) {
        return std::string(rowInfo.param.name);
    });

struct RefusedPassPhrase {
    const char* name;
    std::string passPhrase;
    std::string named;  // the character the message names
};

void PrintTo(const RefusedPassPhrase& row, std::ostream* out) {
    *out << row.name;
}

class RefusedPassPhraseTest : public CipherTest,
                              public testing::WithParamInterface<RefusedPassPhrase> {};

TEST_P(RefusedPassPhraseTest, EncryptRefusesNamingTheCharacterBeforeAnythingIsWritten) {
    const RefusedPassPhrase& row = GetParam();
    files.files["plain"] = FromText("xyz");
    try {
        Encrypt(row.passPhrase, "plain", "encrypted");
        FAIL() << "accepted";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 64103);
        EXPECT_EQ(error.Description(), PassPhraseCharacterText(row.named));
        EXPECT_NE(
            error.Description().find("\"" + (row.named.size() == 1 ? "\\xE6" : row.named) + "\""),
            std::string::npos)
            << error.Description();
    }
    EXPECT_EQ(files.files.count("encrypted"), 0U);
    EXPECT_EQ(files.destinationsCreated, 0);
    EXPECT_TRUE(progress.steps.empty());
}

INSTANTIATE_TEST_SUITE_P(
    OutsideWindows1252, RefusedPassPhraseTest,
    testing::Values(RefusedPassPhrase{"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5"},
                    RefusedPassPhrase{"CyrillicAfterLatin", "ab\xD0\x96", "\xD0\x96"},
                    RefusedPassPhrase{"Greek", "\xCE\xA9", "\xCE\xA9"},
                    RefusedPassPhrase{"InvalidByte", "a\xE6", "\xE6"}),
    [](const testing::TestParamInfo<RefusedPassPhrase>& rowInfo) {
        return std::string(rowInfo.param.name);
    });

TEST_F(CipherTest, AFileMadeUnderTheOldQuestionMarkRuleStillDecrypts) {
    // Encrypted when an omega still counted as "?".
    files.files["old.kdf"] = FromHex("1200000000000012475457");
    Decrypt("\xCE\xA9", "old.kdf", "plain");
    EXPECT_EQ(files.files["plain"], FromText("xyz"));
}

class RoundTripTest : public CipherTest, public testing::WithParamInterface<std::size_t> {};

TEST_P(RoundTripTest, MatchesTheFormatAndComesBackUnchanged) {
    const std::size_t length = GetParam();
    const Bytes plain = RandomBytes(length, static_cast<unsigned>(length));
    files.files["plain"] = plain;
    // Short reads must not move the key stream.
    files.readLimit = 4093;
    Encrypt("k3y!", "plain", "encrypted");
    EXPECT_EQ(files.files["encrypted"], ModelEncrypt(FromText("k3y!----"), plain));
    Decrypt("k3y!", "encrypted", "decrypted");
    EXPECT_EQ(files.files["decrypted"], plain);
}

// Around the header, the key length, the progress step and the work buffer.
INSTANTIATE_TEST_SUITE_P(Lengths, RoundTripTest,
                         testing::Values(0, 1, 7, 8, 9, 7167, 7168, 7169, Cipher::kBufferSize - 1,
                                         Cipher::kBufferSize + 1, 3 * Cipher::kBufferSize + 4099));

TEST_F(CipherTest, EmptyFileEncryptsToTheHeaderAloneAndBack) {
    files.files["empty"] = {};
    Encrypt("abc", "empty", "encrypted");
    EXPECT_EQ(files.files["encrypted"], FromHex("4c4f4e00004e4f4c"));
    Decrypt("abc", "encrypted", "decrypted");
    ASSERT_EQ(files.files.count("decrypted"), 1u);
    EXPECT_TRUE(files.files["decrypted"].empty());
}

TEST_F(CipherTest, HeaderIsItsOwnMirrorImage) {
    std::mt19937 generator(7);
    for (int round = 0; round < 200; ++round) {
        std::string pass;
        const auto length = 1 + generator() % 8;
        for (unsigned i = 0; i < length; ++i) {
            pass += static_cast<char>(0x20 + generator() % 0x5F);
        }
        const PassKey key(pass);
        for (std::size_t k = 0; k < 8; ++k) {
            EXPECT_EQ(key.Header()[k], key.Header()[7 - k]) << pass;
        }
    }
}

TEST_F(CipherTest, PassPhraseHeaderPadsItsArgumentInPlace) {
    std::string pass = "a";
    const std::string header = PassPhraseHeader(pass);
    EXPECT_EQ(pass, "a-------");
    EXPECT_EQ(header, std::string("L\0\0\0\0\0\0L", 8));
    std::string full = "abcdefgh";
    static_cast<void>(PassPhraseHeader(full));
    EXPECT_EQ(full, "abcdefgh");
}

TEST_F(CipherTest, TrailingDashesAreIndistinguishableFromPadding) {
    files.files["plain"] = FromText("padding makes these equal");
    Encrypt("a", "plain", "encrypted");
    for (const std::string pass : {"a", "a-", "a--", "a-------"}) {
        Decrypt(pass, "encrypted", "decrypted");
        EXPECT_EQ(files.files["decrypted"], files.files["plain"]) << pass;
    }
}

TEST_F(CipherTest, CollidingHeaderPassesTheCheckAndYieldsWrongText) {
    // The pairs (p1,p8) ... (p4,p5) XOR alike: "ab------" and "-b-----a" share
    // the header, yet their key streams differ.
    const PassKey ab("ab");
    const PassKey other("-b-----a");
    ASSERT_EQ(ab.Header(), other.Header());
    files.files["plain"] = FromText("the real text");
    Encrypt("ab", "plain", "encrypted");
    Decrypt("-b-----a", "encrypted", "decrypted");
    EXPECT_EQ(files.files["decrypted"].size(), files.files["plain"].size());
    EXPECT_NE(files.files["decrypted"], files.files["plain"]);
}

TEST_F(CipherTest, WrongPassPhraseWritesNothingAndShowsNoWindow) {
    files.files["plain"] = RandomBytes(20000, 1);
    Encrypt("right", "plain", "encrypted");
    progress.steps.clear();
    files.destinationsCreated = 0;
    try {
        Decrypt("wrong", "encrypted", "decrypted");
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 64101);
        EXPECT_EQ(error.Description(), "Incorrect Password.");
    }
    EXPECT_EQ(files.destinationsCreated, 0);
    EXPECT_EQ(files.files.count("decrypted"), 0u);
    EXPECT_TRUE(progress.steps.empty());
}

struct Failure {
    const char* name;
    bool decrypt;
    std::string passPhrase;
    std::string source;
    std::string destination;
    std::int32_t number;
    std::string description;
};

// Test names show the row, not its bytes.
void PrintTo(const Failure& row, std::ostream* out) {
    *out << row.name;
}

class FailureTest : public CipherTest, public testing::WithParamInterface<Failure> {};

TEST_P(FailureTest, RaisesTheNumberAndTextAndWritesNothing) {
    const Failure& row = GetParam();
    files.files["plain"] = FromText("some text");
    files.files["short"] = FromText("1234567");
    files.files["empty"] = {};
    files.files["mirrored"] = FromText("abcddcba and then some");
    files.files["encrypted"] = ModelEncrypt(FromText("right---"), FromText("some text"));
    const auto before = files.files;
    try {
        if (row.decrypt) {
            Decrypt(row.passPhrase, row.source, row.destination);
        } else {
            Encrypt(row.passPhrase, row.source, row.destination);
        }
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), row.number);
        EXPECT_EQ(error.Description(), row.description);
    }
    EXPECT_EQ(files.files, before);
    EXPECT_EQ(files.commits, 0);
    // A window that was shown is closed again.
    if (!progress.steps.empty()) {
        EXPECT_EQ(progress.steps, (std::vector<std::string>{"show", "close"}));
    }
}

const std::string kNine = "123456789";
const std::string kNotEncrypted =
    "This file is neither a .kdf file nor an age file: it is not encrypted, or not by this "
    "program.";
const std::string kEmpty = "This file is empty: there is nothing to decrypt.";
const std::string kEightAccented =
    "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";

INSTANTIATE_TEST_SUITE_P(
    Checks, FailureTest,
    testing::Values(
        Failure{"EmptyPassPhrase", false, "", "plain", "out", 64301,
                "strPassPhrase argument not optional."},
        Failure{"EverythingEmptyReportsThePassPhraseFirst", true, "", "", "", 64301,
                "strPassPhrase argument not optional."},
        Failure{"EmptySource", false, "abc", "", "out", 64302,
                "strSourceFile argument not optional."},
        Failure{"EmptySourceBeforeLength", true, kNine, "", "out", 64302,
                "strSourceFile argument not optional."},
        Failure{"EmptyDestination", true, "abc", "encrypted", "", 64303,
                "strDestinationFile argument not optional."},
        Failure{"EmptyDestinationBeforeLength", false, kNine, "plain", "", 64303,
                "strDestinationFile argument not optional."},
        Failure{"NineCharacters", false, kNine, "plain", "out", 64102,
                "Password must be less than 8 characters"},
        // The length rule is the format's rule for new files: on decryption a longer
        // passphrase is just not this file's.
        Failure{"NineCharactersOnDecrypt", true, kNine, "encrypted", "out", 64101,
                "Incorrect Password."},
        Failure{"NineCharactersOnAMissingSource", true, kNine, "missing", "out", 64201,
                "File Not Found."},
        Failure{"NineCharactersOnAPlainFile", true, kNine, "plain", "out", 64121, kNotEncrypted},
        Failure{"NineCharactersOnAnEmptyFile", true, kNine, "empty", "out", 64122, kEmpty},
        Failure{"NineCharactersCountedNotBytes", false, kEightAccented + "x", "plain", "out", 64102,
                "Password must be less than 8 characters"},
        Failure{"MissingSourceOnEncrypt", false, "abc", "missing", "out", 64201, "File Not Found"},
        Failure{"MissingSourceOnDecrypt", true, "abc", "missing", "out", 64201, "File Not Found."},
        Failure{"MissingSourceBeforeWrongPassword", true, "wrong", "missing", "out", 64201,
                "File Not Found."},
        Failure{"WrongPassPhrase", true, "wrong", "encrypted", "out", 64101, "Incorrect Password."},
        Failure{"SourceShorterThanTheHeader", true, "abc", "short", "out", 64121, kNotEncrypted},
        Failure{"PlainFileIsNoEncryptedFile", true, "abc", "plain", "out", 64121, kNotEncrypted},
        Failure{"EmptyFileSaysSo", true, "abc", "empty", "out", 64122, kEmpty},
        // A header that mirrors itself may be a ".kdf" file of another passphrase.
        Failure{"MirroredHeaderOfAnotherPassPhrase", true, "abc", "mirrored", "out", 64101,
                "Incorrect Password."}),
    [](const testing::TestParamInfo<Failure>& rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(CipherTest, EightMultiByteCharactersAreAccepted) {
    files.files["plain"] = FromText("x");
    Encrypt(kEightAccented, "plain", "encrypted");
    EXPECT_EQ(files.files["encrypted"].size(), 9u);
    EXPECT_EQ(files.files["encrypted"][0], 0u);  // e9 ^ e9
}

TEST_F(CipherTest, FailedWriteLeavesNoDestinationAndClosesTheWindow) {
    files.files["plain"] = RandomBytes(3 * Cipher::kBufferSize, 3);
    files.files["out"] = FromText("the old destination");
    files.failWritesAfter = Cipher::kBufferSize + 100;
    try {
        Encrypt("abc", "plain", "out");
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 61);
        EXPECT_EQ(error.Description(), "Disk full");
    }
    EXPECT_EQ(files.files["out"], FromText("the old destination"));
    EXPECT_EQ(progress.steps.front(), "show");
    EXPECT_EQ(progress.steps.back(), "close");
}

TEST_F(CipherTest, SourceCutShortWhileReadingFailsAndWritesNothing) {
    files.files["plain"] = RandomBytes(Cipher::kBufferSize + 10, 8);
    files.files["out"] = FromText("old");
    files.shrinkAfterOpen = 100;
    for (const bool decrypt : {false, true}) {
        try {
            if (decrypt) {
                files.files["plain"] = ModelEncrypt(FromText("abc-----"), RandomBytes(5000, 9));
                Decrypt("abc", "plain", "out");
            } else {
                Encrypt("abc", "plain", "out");
            }
            FAIL() << "no error";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), 62);
            EXPECT_EQ(error.Description(), "Input past end of file");
        }
        EXPECT_EQ(files.files["out"], FromText("old"));
    }
    EXPECT_EQ(files.commits, 0);
}

TEST_F(CipherTest, ProgressOfTheExampleFileOnEncryption) {
    files.files["plain"] = RandomBytes(14336, 4);
    Encrypt("abc", "plain", "encrypted");
    EXPECT_EQ(progress.steps,
              (std::vector<std::string>{"show", "50% Complete - (7KB / 14KB )",
                                        "100% Complete - (14KB / 14KB )", "close"}));
    ASSERT_EQ(progress.points.size(), 2u);
    EXPECT_EQ(progress.points[0].percent, 50);
    EXPECT_EQ(progress.points[1].position, 14336u);
}

TEST_F(CipherTest, ProgressOfTheExampleFileOnDecryptionNeverReaches100) {
    files.files["plain"] = RandomBytes(14336, 4);
    Encrypt("abc", "plain", "encrypted");
    ASSERT_EQ(files.files["encrypted"].size(), 14344u);
    progress.steps.clear();
    Decrypt("abc", "encrypted", "decrypted");
    EXPECT_EQ(progress.steps, (std::vector<std::string>{"show", "49% Complete - (7KB / 14KB )",
                                                        "99% Complete - (14KB / 14KB )", "close"}));
}

TEST_F(CipherTest, ShortFileShowsNoProgress) {
    files.files["plain"] = RandomBytes(7167, 5);
    Encrypt("abc", "plain", "encrypted");
    EXPECT_EQ(progress.steps, (std::vector<std::string>{"show", "close"}));
}

TEST_F(CipherTest, ProgressFallsOnEveryMultipleAcrossBufferBoundaries) {
    const std::size_t length = 2 * Cipher::kBufferSize + 7168 * 3 + 5;
    files.files["plain"] = RandomBytes(length, 6);
    files.readLimit = 65537;
    Encrypt("abc", "plain", "encrypted");
    ASSERT_EQ(progress.points.size(), length / 7168);
    for (std::size_t i = 0; i < progress.points.size(); ++i) {
        const std::uint64_t position = 7168 * (i + 1);
        EXPECT_EQ(progress.points[i].position, position);
        EXPECT_EQ(progress.points[i].total, length);
        EXPECT_EQ(progress.points[i].percent,
                  static_cast<std::int32_t>(static_cast<double>(position) / length * 100));
    }
}

TEST(ProgressCaptionTest, PercentIsComputedInDoublePrecisionAndFloored) {
    // 7168 * 3 / 21505 * 100 = 99.995...: floored, never rounded up to 100.
    EXPECT_EQ(MakeProgressPoint(21504, 21505).percent, 99);
    EXPECT_EQ(MakeProgressPoint(7168, 7168).percent, 100);
    // 2^40 bytes: kilobyte counts far past 32 bits are written in full.
    EXPECT_EQ(ProgressCaption(MakeProgressPoint(std::uint64_t{1} << 40, std::uint64_t{1} << 41)),
              "50% Complete - (1073741824KB / 2147483648KB )");
    EXPECT_EQ(ProgressCaption(MakeProgressPoint(1023 * 7, 1023 * 7 + 1)),
              "99% Complete - (6KB / 6KB )");
}

TEST(XorKeyStreamTest, EveryPhaseAndLengthMatchesTheBytewiseRule) {
    const std::array<std::uint8_t, 8> key{1, 2, 4, 8, 16, 32, 64, 128};
    for (std::size_t phase = 0; phase < 8; ++phase) {
        for (std::size_t length = 0; length < 80; ++length) {
            Bytes data(length, 0xAA);
            XorKeyStream(data.data(), data.size(), key, phase);
            for (std::size_t i = 0; i < length; ++i) {
                ASSERT_EQ(data[i], 0xAA ^ key[(phase + i) % 8]) << phase << " " << i;
            }
        }
    }
}

}  // namespace
}  // namespace orvelle::veilor64
