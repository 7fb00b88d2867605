// The age format on in-memory files: every official test vector our decoder can
// be given an identity for, round trips at the chunk boundaries, and what damage
// of each kind gives (a clear error, nothing written).

#include "AgeCipher.h"
#include "AgeErrors.h"
#include "CipherErrors.h"
#include "MemoryCipherFiles.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace orvelle::veilor64 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using age::AgeError;
using age::Failure;

class NoProgress final : public IProgressSink {
public:
    void Show() override { ++shows; }
    void Point(const ProgressPoint& point) override { positions.push_back(point.position); }
    void Close() noexcept override { ++closes; }
    int shows = 0;
    int closes = 0;
    std::vector<std::uint64_t> positions;
};

std::string Sha256Hex(const Bytes& data) {
    unsigned char digest[32];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), digest, &size, EVP_sha256(), nullptr);
    std::ostringstream hex;
    for (unsigned i = 0; i < size; ++i) {
        hex << "0123456789abcdef"[digest[i] >> 4] << "0123456789abcdef"[digest[i] & 15];
    }
    return hex.str();
}

Bytes Random(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    Bytes bytes(size);
    std::generate(bytes.begin(), bytes.end(),
                  [&] { return static_cast<std::uint8_t>(generator()); });
    return bytes;
}

// The larger files of the kit are stored as zlib streams.
Bytes Inflated(const Bytes& packed) {
    z_stream stream{};
    EXPECT_EQ(inflateInit(&stream), Z_OK);
    Bytes out;
    Bytes block(1 << 16);
    stream.next_in = const_cast<Bytes::value_type*>(packed.data());
    stream.avail_in = static_cast<uInt>(packed.size());
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = block.data();
        stream.avail_out = static_cast<uInt>(block.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), block.data(), block.data() + (block.size() - stream.avail_out));
    }
    EXPECT_EQ(status, Z_STREAM_END);
    inflateEnd(&stream);
    return out;
}

// One file of the test kit: "name: value" lines, an empty line, the age file.
struct Vector {
    std::string name;
    std::multimap<std::string, std::string> fields;
    Bytes file;
};

Vector ReadVector(const std::string& folder, const std::string& name) {
    std::ifstream in(folder + "/" + name, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    Vector vector{name, {}, {}};
    std::size_t at = 0;
    while (true) {
        const auto end = content.find('\n', at);
        const std::string line = content.substr(at, end - at);
        at = end + 1;
        if (line.empty()) {
            break;
        }
        const auto colon = line.find(": ");
        vector.fields.emplace(line.substr(0, colon), line.substr(colon + 2));
    }
    vector.file.assign(content.begin() + static_cast<std::ptrdiff_t>(at), content.end());
    if (vector.fields.count("compressed") > 0) {
        vector.file = Inflated(vector.file);
    }
    return vector;
}

std::string Outcome(Failure failure) {
    switch (failure) {
    case Failure::Armor:
        return "armor failure";
    case Failure::Header:
        return "header failure";
    case Failure::Hmac:
        return "HMAC failure";
    case Failure::NoMatch:
        return "no match";
    case Failure::Payload:
        return "payload failure";
    }
    return "?";
}

TEST(AgeVectorTest, EveryVectorWithAPassphraseOrAnX25519KeyGivesItsExpectedOutcome) {
    const std::string folder = AGE_TESTDATA_DIR;
    DIR* dir = ::opendir(folder.c_str());
    ASSERT_NE(dir, nullptr) << folder;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    ASSERT_EQ(names.size(), 143U) << "the whole kit is in the test data";

    int run = 0;
    std::vector<std::string> notRun;
    for (const std::string& name : names) {
        const Vector vector = ReadVector(folder, name);
        std::vector<std::unique_ptr<age::IIdentity>> identities;
        for (auto [it, end] = vector.fields.equal_range("passphrase"); it != end; ++it) {
            identities.push_back(std::make_unique<age::ScryptIdentity>(it->second));
        }
        for (auto [it, end] = vector.fields.equal_range("identity"); it != end; ++it) {
            if (const auto secret = age::DecodeX25519Identity(it->second)) {
                identities.push_back(std::make_unique<age::X25519Identity>(*secret));
            }
        }
        // Post-quantum keys are beyond this decoder: listed below.
        const bool postQuantumOnly = identities.empty() && vector.fields.count("identity") > 0;
        if (postQuantumOnly) {
            notRun.push_back(name);
            continue;
        }
        ++run;
        std::vector<age::IIdentity*> given;
        for (const auto& identity : identities) {
            given.push_back(identity.get());
        }
        MemoryCipherFiles files;
        files.files["in"] = vector.file;
        NoProgress progress;
        std::string outcome = "success";
        try {
            AgeCipher(files, progress).Decrypt(given, "in", "out");
        } catch (const AgeError& error) {
            outcome = Outcome(error.Kind());
        }
        const std::string expected = vector.fields.find("expect")->second;
        EXPECT_EQ(outcome, expected) << name;
        if (outcome == "success" && expected == "success") {
            EXPECT_EQ(Sha256Hex(files.files["out"]), vector.fields.find("payload")->second) << name;
        }
        if (outcome != "success") {
            EXPECT_EQ(files.files.count("out"), 0U) << name << ": a failure writes nothing";
        }
    }
    // All but the 18 whose only identities are post-quantum (17 "hybrid*", "armor_hybrid").
    EXPECT_EQ(run, 125);
    for (const std::string& name : notRun) {
        EXPECT_TRUE(name.rfind("hybrid", 0) == 0 || name == "armor_hybrid") << name;
    }
}

TEST(AgeVectorTest, AWorkFactorAbove22IsRefusedWithItsOwnMessage) {
    const Vector vector = ReadVector(AGE_TESTDATA_DIR, "scrypt_work_factor_23");
    MemoryCipherFiles files;
    files.files["in"] = vector.file;
    NoProgress progress;
    try {
        AgeCipher(files, progress).Decrypt("password", "in", "out");
        FAIL() << "decrypted";
    } catch (const AgeError& error) {
        EXPECT_EQ(error.Number(), errors::kAgeWorkFactorTooHigh);
        EXPECT_NE(error.Description().find("2^22"), std::string::npos);
    }
}

constexpr int kFastWorkFactor = 10;
constexpr std::size_t kChunk = age::kChunkSize;

Bytes Encrypted(const Bytes& plain, const std::string& passphrase = "correct horse") {
    MemoryCipherFiles files;
    files.files["plain"] = plain;
    NoProgress progress;
    AgeCipher(files, progress, kFastWorkFactor).Encrypt(passphrase, "plain", "file.age");
    return files.files["file.age"];
}

TEST(AgeCipherTest, RoundTripsAtEveryChunkBoundaryWithTheSizeTheFormatGives) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, kChunk - 1, kChunk, kChunk + 1,
                                   4 * kChunk, 4 * kChunk + 1, std::size_t{3} << 20}) {
        const Bytes plain = Random(size, static_cast<unsigned>(size));
        MemoryCipherFiles files;
        files.files["plain"] = plain;
        files.readLimit = 1000;  // short reads everywhere
        NoProgress progress;
        AgeCipher cipher(files, progress, kFastWorkFactor);
        cipher.Encrypt("p\xC3\xA4ss phr\xC3\xA4se", "plain", "file.age");
        const Bytes& sealed = files.files["file.age"];
        const std::string text(sealed.begin(), sealed.end());
        const std::size_t header = text.find("\n---") + 1 + 48;  // "--- ", 43 characters, "\n"
        const std::size_t chunks = std::max<std::size_t>(1, (size + kChunk - 1) / kChunk);
        EXPECT_EQ(sealed.size(), header + 16 + size + 16 * chunks) << size;
        EXPECT_EQ(text.rfind("age-encryption.org/v1\n-> scrypt ", 0), 0U) << size;
        // Points at every multiple of 7168 of the plain file.
        EXPECT_EQ(progress.positions.size(), size / kProgressStep) << size;
        progress.positions.clear();

        cipher.Decrypt("p\xC3\xA4ss phr\xC3\xA4se", "file.age", "back");
        EXPECT_EQ(files.files["back"], plain) << size;
        EXPECT_EQ(progress.positions.size(), sealed.size() / kProgressStep - header / kProgressStep)
            << size;
        EXPECT_EQ(progress.shows, 2);
        EXPECT_EQ(progress.closes, 2);
    }
}

TEST(AgeCipherTest, TwoEncryptionsOfOneFileHaveDifferentPayloads) {
    const Bytes plain(1000, 'x');
    const Bytes a = Encrypted(plain);
    const Bytes b = Encrypted(plain);
    ASSERT_EQ(a.size(), b.size());
    // Fresh salt, file key and nonce: the payloads differ everywhere.
    EXPECT_NE(Bytes(a.end() - 1016, a.end()), Bytes(b.end() - 1016, b.end()));
}

// Damage of every kind, with the number the user is shown; nothing is written.
TEST(AgeCipherTest, DamageFailsWithAClearErrorAndWritesNothing) {
    const Bytes good = Encrypted(Random(3 * kChunk + 100, 7));
    const std::string text(good.begin(), good.end());
    const std::size_t payload = text.find("\n---") + 1 + 48 + 16;
    const auto flipped = [&](std::size_t at) {
        Bytes bad = good;
        bad[at] ^= 0x01;
        return bad;
    };
    // Another base64 character in place of one of the header's text.
    const auto retyped = [&](std::size_t at) {
        Bytes bad = good;
        bad[at] = bad[at] == 'A' ? 'B' : 'A';
        return bad;
    };
    const auto cut = [&](std::size_t size) {
        return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    };
    const auto appended = [&](std::size_t size) {
        Bytes bad = good;
        bad.insert(bad.end(), size, 0x41);
        return bad;
    };
    const struct {
        const char* what;
        Bytes file;
        std::string passphrase;
        std::int32_t number;
    } rows[] = {
        {"wrong passphrase", good, "correct hors", errors::kIncorrectPassword},
        {"the salt retyped", retyped(text.find("scrypt ") + 8), "correct horse",
         errors::kIncorrectPassword},
        {"the MAC retyped", retyped(payload - 20), "correct horse", errors::kAgeHeaderAltered},
        {"flipped in the nonce", flipped(payload - 3), "correct horse", errors::kAgeDamaged},
        {"flipped in chunk 1", flipped(payload + 10), "correct horse", errors::kAgeDamaged},
        {"flipped in chunk 2", flipped(payload + kChunk + 16 + 10), "correct horse",
         errors::kAgeDamaged},
        {"flipped in chunk 4's tag", flipped(good.size() - 1), "correct horse",
         errors::kAgeDamaged},
        {"cut in the header", cut(30), "correct horse", errors::kAgeHeaderDamaged},
        {"cut in the nonce", cut(payload - 5), "correct horse", errors::kAgeHeaderDamaged},
        {"cut after the nonce", cut(payload), "correct horse", errors::kAgeIncomplete},
        {"cut at a chunk boundary", cut(payload + 2 * (kChunk + 16)), "correct horse",
         errors::kAgeIncomplete},
        {"cut inside a chunk", cut(good.size() - 50), "correct horse", errors::kAgeDamaged},
        {"one byte appended", appended(1), "correct horse", errors::kAgeDamaged},
        {"a chunk's worth appended", appended(kChunk + 16 - 116), "correct horse",
         errors::kAgeDamaged},
        {"not age at all", Bytes(100, 'a'), "correct horse", errors::kAgeHeaderDamaged},
    };
    for (const auto& row : rows) {
        MemoryCipherFiles files;
        files.files["in"] = row.file;
        NoProgress progress;
        try {
            AgeCipher(files, progress).Decrypt(row.passphrase, "in", "out");
            ADD_FAILURE() << row.what << ": decrypted";
        } catch (const os::RuntimeError& error) {
            EXPECT_EQ(error.Number(), row.number) << row.what << ": " << error.Description();
        }
        EXPECT_EQ(files.commits, 0) << row.what;
        EXPECT_EQ(files.files.count("out"), 0U) << row.what;
        EXPECT_EQ(progress.shows, progress.closes) << row.what;
    }
}

TEST(AgeCipherTest, AFinalChunkFollowedByMoreIsReportedAsDataAfterTheEnd) {
    // A file of exactly one full chunk: its only chunk is final and full-size.
    Bytes file = Encrypted(Random(kChunk, 3));
    file.insert(file.end(), kChunk + 16, 0x00);
    MemoryCipherFiles files;
    files.files["in"] = file;
    NoProgress progress;
    try {
        AgeCipher(files, progress).Decrypt("correct horse", "in", "out");
        FAIL() << "decrypted";
    } catch (const AgeError& error) {
        EXPECT_EQ(error.Number(), errors::kAgeTrailingData);
    }
}

TEST(AgeFormatTest, Base64IsCanonicalAndUnpadded) {
    const struct {
        const char* text;
        bool valid;
    } rows[] = {{"", true},     {"AA", true}, {"AB", false},   {"AAA", true},  {"AAB", false},
                {"AAAA", true}, {"A", false}, {"AA==", false}, {"A-A", false}, {"YQ", true}};
    for (const auto& row : rows) {
        EXPECT_EQ(age::DecodeBase64(row.text).has_value(), row.valid) << row.text;
    }
    const Bytes data = Random(100, 1);
    for (std::size_t size = 0; size < data.size(); ++size) {
        const std::string text = age::EncodeBase64(data.data(), size);
        EXPECT_EQ(text.find('='), std::string::npos);
        EXPECT_EQ(age::DecodeBase64(text),
                  Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size)));
    }
}

TEST(AgeFormatTest, DestinationsNamedAgeInAnyCaseAndFilesStartingAsAge) {
    EXPECT_TRUE(age::IsAgeDestination("/a/b.age"));
    EXPECT_TRUE(age::IsAgeDestination("B.AgE"));
    EXPECT_FALSE(age::IsAgeDestination("/a/b.kdf"));
    EXPECT_FALSE(age::IsAgeDestination("/a/b.age.kdf"));
    EXPECT_FALSE(age::IsAgeDestination("age"));
    MemoryCipherFiles files;
    files.files["v2"] = Bytes{'a', 'g', 'e', '-', 'e', 'n', 'c', 'r', 'y', 'p', 't',
                              'i', 'o', 'n', '.', 'o', 'r', 'g', '/', 'v', '2'};
    files.files["short"] = Bytes{'a', 'g', 'e'};
    EXPECT_TRUE(age::IsAgeFile(files, "v2"));
    EXPECT_FALSE(age::IsAgeFile(files, "short"));
    EXPECT_FALSE(age::IsAgeFile(files, "missing"));
}

}  // namespace
}  // namespace orvelle::veilor64
