#include "ArchiveTestSupport.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "LibArchiveReader.h"
#include "LibArchiveWriter.h"
#include "TempEnvironment.h"
#include "os/RuntimeError.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::os;
using namespace orvelle::filesecurity;
using ::testing::AllOf;
using ::testing::Field;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

namespace fs = std::filesystem;

namespace {

class ArchiveTest : public ::testing::Test {
protected:
    test::TempEnvironment env;
    os::fake::FakeEventPump pump;
    // No throttling: every step gives the user interface its turn, so tests see it.
    filesecurity::libarchive::LibArchiveWriter writer{pump, std::chrono::milliseconds(0)};
    filesecurity::libarchive::LibArchiveReader reader{pump, std::chrono::milliseconds(0)};
    std::vector<int> progress;
    ArchiveProgress record = [this](int percent) { progress.push_back(percent); };

    void ExpectProgressFromZeroToHundred() {
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.front(), 0);
        EXPECT_EQ(progress.back(), 100);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        progress.clear();
    }
};

auto Skipped(const std::string& name, const std::string& reason) {
    return AllOf(Field(&SkippedEntry::name, name), Field(&SkippedEntry::reason, HasSubstr(reason)));
}

TEST_F(ArchiveTest, AFolderTreeRoundTripsByteForByte) {
    test::MakeSampleTree(env.Path("source"));
    const std::string archive = env.Path("tmp/tree.zip");
    EXPECT_TRUE(writer.PackFolder(env.Path("source"), archive, record, "").empty());
    ExpectProgressFromZeroToHundred();
    EXPECT_GT(pump.calls, 0) << "long work gives the user interface its turn";
    struct stat info {};
    ASSERT_EQ(::stat(archive.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U) << "the unencrypted archive is the user's alone";

    EXPECT_TRUE(
        reader.ExtractTo(archive, env.Path("restored/deeper"), record, ExistingFiles::Replace)
            .empty());
    ExpectProgressFromZeroToHundred();
    const test::Tree original = test::Snapshot(env.Path("source"));
    EXPECT_EQ(original.size(), 14U);
    EXPECT_EQ(test::Snapshot(env.Path("restored/deeper")), original);
    EXPECT_EQ(original.at("a/link-to-deep"), (test::TreeNode{'l', "b/c/deep.txt"}));
}

TEST_F(ArchiveTest, OtherToolsReadOurArchivesAndWeReadTheirs) {
    test::MakeSampleTree(env.Path("source"));
    const std::string ours = env.Path("ours.zip");
    ASSERT_TRUE(writer.PackFolder(env.Path("source"), ours, nullptr, "").empty());
    EXPECT_TRUE(test::RunPython(env.Root(), R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = set(z.namelist())
assert z.testzip() is None
assert z.read("Ünïcödé/日本語 テキスト.txt").decode("utf-8") == "こんにちは"
assert "vide/" in names and "a/b/empty-dir/" in names
assert z.read("empty.txt") == b""
assert len(z.read("big/café.bin")) == 3 * 1024 * 1024 + 17
)",
                                {ours}))
        << "python3's zipfile rejected our archive";

    const std::string theirs = env.Path("theirs.zip");
    ASSERT_TRUE(test::RunPython(env.Root(), R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Dossier été/naïve.txt", "olé")
    z.writestr("empty/", "")
    z.writestr("nested/deeper/file.bin", bytes(range(256)) * 1000)
    z.writestr("zero.txt", "")
    z.writestr("./dotted/./name.txt", "dots")
)",
                                {theirs}));
    EXPECT_TRUE(reader.ExtractTo(theirs, env.Path("out"), record, ExistingFiles::Replace).empty());
    ExpectProgressFromZeroToHundred();
    std::string bytes;
    for (int i = 0; i < 1000; ++i) {
        for (int b = 0; b < 256; ++b) {
            bytes += static_cast<char>(b);
        }
    }
    const test::Tree expected{{"Dossier été", {'d', ""}},
                              {"Dossier été/naïve.txt", {'f', "olé"}},
                              {"empty", {'d', ""}},
                              {"nested", {'d', ""}},
                              {"nested/deeper", {'d', ""}},
                              {"nested/deeper/file.bin", {'f', bytes}},
                              {"zero.txt", {'f', ""}},
                              {"dotted", {'d', ""}},
                              {"dotted/name.txt", {'f', "dots"}}};
    EXPECT_EQ(test::Snapshot(env.Path("out")), expected);
}

TEST_F(ArchiveTest, AnEmptyFolderRoundTrips) {
    test::MakeDirs(env.Path("nothing"));
    ASSERT_TRUE(writer.PackFolder(env.Path("nothing"), env.Path("empty.zip"), record, "").empty());
    ExpectProgressFromZeroToHundred();
    EXPECT_TRUE(
        reader.ExtractTo(env.Path("empty.zip"), env.Path("out"), record, ExistingFiles::Replace)
            .empty());
    EXPECT_TRUE(fs::is_directory(env.Path("out")));
    EXPECT_TRUE(test::Snapshot(env.Path("out")).empty());
}

TEST_F(ArchiveTest, AMaliciousArchiveExtractsNothingOutsideTheDestination) {
    test::MakeDirs(env.Path("outside"));
    test::WriteFile(env.Path("outside/victim.txt"), "victim");
    const std::string archive = env.Path("evil.zip");
    ASSERT_TRUE(test::RunPython(env.Root(), R"(
import sys, zipfile
out, outside = sys.argv[1], sys.argv[2]
def link(z, name, target):
    info = zipfile.ZipInfo(name)
    info.create_system = 3
    info.external_attr = 0o120777 << 16
    z.writestr(info, target)
with zipfile.ZipFile(out, "w") as z:
    z.writestr("../evil.txt", "x")
    z.writestr("a/../../evil2.txt", "x")
    z.writestr(outside + "/abs.txt", "x")
    link(z, "out-rel", "../outside/victim.txt")
    link(z, "out-abs", outside + "/victim.txt")
    link(z, "up", ".")
    link(z, "esc", "up/../outside/victim.txt")
    link(z, "inside", "sub/ok.txt")
    z.writestr("sub/ok.txt", "fine")
    link(z, "sub/deep-out", "../../outside")
)",
                                {archive, env.Path("outside")}));
    const test::Tree rootBefore = test::Snapshot(env.Root());

    const auto skipped =
        reader.ExtractTo(archive, env.Path("dest"), record, ExistingFiles::Replace);
    EXPECT_THAT(skipped,
                UnorderedElementsAre(
                    Skipped("../evil.txt", "its path contains \"..\""),
                    Skipped("a/../../evil2.txt", "its path contains \"..\""),
                    Skipped(env.Path("outside") + "/abs.txt", "it has an absolute path"),
                    Skipped("out-rel", "link leading outside the destination folder"),
                    Skipped("out-abs", "link leading outside the destination folder"),
                    Skipped("esc", "passes through another link"),
                    Skipped("sub/deep-out", "link leading outside the destination folder")));
    const test::Tree expected{{"sub", {'d', ""}},
                              {"sub/ok.txt", {'f', "fine"}},
                              {"inside", {'l', "sub/ok.txt"}},
                              {"up", {'l', "."}}};
    EXPECT_EQ(test::Snapshot(env.Path("dest")), expected);
    test::Tree rootAfter = test::Snapshot(env.Root());
    for (auto it = rootAfter.begin(); it != rootAfter.end();) {
        it = it->first.rfind("dest", 0) == 0 ? rootAfter.erase(it) : std::next(it);
    }
    EXPECT_EQ(rootAfter, rootBefore) << "nothing appeared or changed outside the destination";
}

TEST_F(ArchiveTest, LinksPlantedInTheDestinationAreNeverFollowed) {
    test::MakeDirs(env.Path("outside"));
    test::WriteFile(env.Path("outside/victim.txt"), "victim");
    test::MakeDirs(env.Path("dest"));
    fs::create_directory_symlink(env.Path("outside"), env.Path("dest/planted"));
    fs::create_symlink(env.Path("outside/victim.txt"), env.Path("dest/replaced.txt"));
    test::MakeDirs(env.Path("source/planted"));
    test::WriteFile(env.Path("source/planted/file.txt"), "through the link?");
    test::WriteFile(env.Path("source/replaced.txt"), "new content");
    ASSERT_TRUE(writer.PackFolder(env.Path("source"), env.Path("a.zip"), nullptr, "").empty());

    const auto skipped =
        reader.ExtractTo(env.Path("a.zip"), env.Path("dest"), nullptr, ExistingFiles::Replace);
    EXPECT_THAT(skipped,
                UnorderedElementsAre(Skipped("planted/", "a link of that name is in the way"),
                                     Skipped("planted/file.txt", "through the link \"planted\"")));
    EXPECT_FALSE(test::Exists(env.Path("outside/file.txt")));
    EXPECT_EQ(test::ReadFile(env.Path("outside/victim.txt")), "victim");
    EXPECT_FALSE(fs::is_symlink(env.Path("dest/replaced.txt"))) << "the link itself was replaced";
    EXPECT_EQ(test::ReadFile(env.Path("dest/replaced.txt")), "new content");
}

TEST_F(ArchiveTest, ExistingFilesAreCountedThenKeptOrReplacedAsAsked) {
    test::MakeDirs(env.Path("source/sub"));
    test::WriteFile(env.Path("source/.bashrc"), "archive");
    test::WriteFile(env.Path("source/sub/a.txt"), "archive");
    test::WriteFile(env.Path("source/new.txt"), "archive");
    fs::create_symlink("new.txt", env.Path("source/link"));
    ASSERT_TRUE(writer.PackFolder(env.Path("source"), env.Path("a.zip"), nullptr, "").empty());
    EXPECT_EQ(reader.CountExisting(env.Path("a.zip"), env.Path("missing")), 0U);

    for (const ExistingFiles existing : {ExistingFiles::Keep, ExistingFiles::Replace}) {
        test::RemoveTree(env.Path("dest"));
        test::MakeDirs(env.Path("dest/sub"));
        test::WriteFile(env.Path("dest/.bashrc"), "mine");
        test::WriteFile(env.Path("dest/sub/a.txt"), "mine");
        test::WriteFile(env.Path("dest/link"), "mine");
        // The folder "sub" is merged, not counted; the three files and the link are.
        EXPECT_EQ(reader.CountExisting(env.Path("a.zip"), env.Path("dest")), 3U);
        EXPECT_TRUE(
            reader.ExtractTo(env.Path("a.zip"), env.Path("dest"), nullptr, existing).empty());
        const bool replaced = existing == ExistingFiles::Replace;
        EXPECT_EQ(test::ReadFile(env.Path("dest/.bashrc")), replaced ? "archive" : "mine");
        EXPECT_EQ(test::ReadFile(env.Path("dest/sub/a.txt")), replaced ? "archive" : "mine");
        EXPECT_EQ(fs::is_symlink(env.Path("dest/link")), replaced);
        EXPECT_EQ(test::ReadFile(env.Path("dest/new.txt")), "archive");
        EXPECT_EQ(test::Snapshot(env.Path("dest")).size(), 5U) << "no hidden partial file";
    }
}

TEST_F(ArchiveTest, DamagedArchivesAreRefusedAndNeverLeaveADamagedFile) {
    test::MakeSampleTree(env.Path("source"));
    ASSERT_TRUE(writer.PackFolder(env.Path("source"), env.Path("good.zip"), nullptr, "").empty());
    const std::string good = test::ReadFile(env.Path("good.zip"));
    std::string corrupted = good;
    for (std::size_t i = corrupted.size() / 3; i < corrupted.size() / 3 + 64; ++i) {
        corrupted[i] = static_cast<char>(corrupted[i] ^ 0x55);  // inside the large file's data
    }
    const test::Tree source = test::Snapshot(env.Path("source"));
    const struct {
        const char* name;
        std::string content;
        bool nothingExtracted;
    } rows[] = {
        {"noise.zip", std::string(4096, '\x5a'), true},
        {"empty-file.zip", "", true},
        {"truncated.zip", good.substr(0, good.size() / 2), true},
        {"no-directory.zip", good.substr(0, good.size() - 30), true},
        {"corrupted-data.zip", corrupted, false},
    };
    for (const auto& row : rows) {
        test::WriteFile(env.Path(row.name), row.content);
        const std::string dest = env.Path(std::string("out-") + row.name);
        try {
            static_cast<void>(
                reader.ExtractTo(env.Path(row.name), dest, nullptr, ExistingFiles::Replace));
            ADD_FAILURE() << row.name << " extracted without complaint";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), 321) << row.name;
            EXPECT_THAT(error.Description(), HasSubstr(env.Path(row.name))) << row.name;
        }
        if (row.nothingExtracted) {
            EXPECT_FALSE(test::Exists(dest)) << row.name;
            continue;
        }
        const test::Tree extracted = test::Snapshot(dest);
        for (const auto& [name, node] : extracted) {
            EXPECT_TRUE(node.type == 'd' || (source.count(name) != 0 && node == source.at(name)))
                << row.name << ": " << name << " is not what was packed";
        }
    }
}

TEST_F(ArchiveTest, TheWriterNeverWritesThroughALinkNorPacksWhatItCannot) {
    test::WriteFile(env.Path("victim.txt"), "victim");
    test::MakeDirs(env.Path("source"));
    test::WriteFile(env.Path("source/file.txt"), "x");
    fs::create_symlink(env.Path("victim.txt"), env.Path("tmp/CRY9999.TMP"));
    EXPECT_THROW(static_cast<void>(writer.PackFolder(env.Path("source"),
                                                     env.Path("tmp/CRY9999.TMP"), nullptr, "")),
                 RuntimeError);
    EXPECT_EQ(test::ReadFile(env.Path("victim.txt")), "victim");

    ASSERT_EQ(::mkfifo(env.Path("source/pipe").c_str(), 0600), 0);
    const std::string inside = env.Path("source/self.zip");
    EXPECT_THAT(writer.PackFolder(env.Path("source"), inside, nullptr, ""),
                UnorderedElementsAre(Skipped("pipe", "FIFO")));
    EXPECT_TRUE(reader.ExtractTo(inside, env.Path("out"), nullptr, ExistingFiles::Replace).empty());
    EXPECT_EQ(test::Snapshot(env.Path("out")), (test::Tree{{"file.txt", {'f', "x"}}}))
        << "neither the FIFO nor the archive itself";

    try {
        static_cast<void>(writer.PackFolder(env.Path("missing"), env.Path("m.zip"), nullptr, ""));
        ADD_FAILURE() << "a missing folder was packed";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), errors::kPathNotFound);
        EXPECT_THAT(error.Description(), HasSubstr(env.Path("missing")));
    }
}

// The folder changing under the writer: every change fails the build and names the
// entry, so that no archive that lacks or mangles a file is ever encrypted.
struct FolderChange {
    const char* name;
    std::function<void(const std::string& root)> change;
    const char* entry;  // relative to the folder
    const char* what;
};

void PrintTo(const FolderChange& row, std::ostream* out) {
    *out << row.name;
}

class FolderChangeTest : public ArchiveTest, public ::testing::WithParamInterface<FolderChange> {};

TEST_P(FolderChangeTest, FailsNamingTheEntry) {
    const FolderChange& row = GetParam();
    const std::string root = env.Path("source");
    test::MakeDirs(root + "/zdir");
    test::WriteFile(root + "/a.bin", std::string(1024 * 1024, 'a'));
    test::WriteFile(root + "/m.txt", "another file");
    test::WriteFile(root + "/z.txt", "the last file");
    test::WriteFile(root + "/zdir/inner.txt", "inside");
    // The change comes while the first file is being read, at its first progress point.
    bool changed = false;
    const ArchiveProgress changeOnce = [&](int percent) {
        if (percent > 0 && !changed) {
            changed = true;
            row.change(root);
        }
    };
    try {
        static_cast<void>(writer.PackFolder(root, env.Path("out.zip"), changeOnce, ""));
        ADD_FAILURE() << "the changed folder was packed";
    } catch (const RuntimeError& error) {
        EXPECT_THAT(error.Description(), HasSubstr(root + "/" + row.entry + " " + row.what));
    }
    EXPECT_TRUE(changed);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, FolderChangeTest,
    ::testing::Values(
        FolderChange{"AFileVanishes", [](const std::string& root) { fs::remove(root + "/z.txt"); },
                     "z.txt", "disappeared"},
        FolderChange{"AFolderVanishes",
                     [](const std::string& root) { fs::remove_all(root + "/zdir"); }, "zdir",
                     "disappeared"},
        FolderChange{"TheFileBeingReadGrows",
                     [](const std::string& root) {
                         test::WriteFile(root + "/a.bin", std::string(2 * 1024 * 1024, 'b'));
                     },
                     "a.bin", "changed its size"},
        FolderChange{"TheFileBeingReadShrinks",
                     [](const std::string& root) { fs::resize_file(root + "/a.bin", 100); },
                     "a.bin", "became shorter"}),
    [](const ::testing::TestParamInfo<FolderChange>& row) { return row.param.name; });

// Names that are not UTF-8 (from an old Latin-1 system, say) are kept as bytes and
// come back under the same bytes, through our reader and through unzip.
TEST_F(ArchiveTest, NamesThatAreNotUtf8RoundTripAsTheirBytes) {
    const std::string root = env.Path("source");
    test::MakeDirs(root + "/d\xFCr");
    test::WriteFile(root + "/caf\xE9.txt", "latin-1 name");
    test::WriteFile(root + "/d\xFCr/\xE0 la carte.bin", "another one");
    test::WriteFile(root + "/Ünïcödé.txt", "a UTF-8 name beside them");
    fs::create_symlink("caf\xE9.txt", root + "/l\xE9n");
    const std::string zip = env.Path("names.zip");
    ASSERT_TRUE(writer.PackFolder(root, zip, nullptr, "").empty());

    EXPECT_TRUE(reader.ExtractTo(zip, env.Path("out"), nullptr, ExistingFiles::Replace).empty());
    EXPECT_EQ(test::Snapshot(env.Path("out")), test::Snapshot(root));
    ASSERT_TRUE(test::RunQuietly({"unzip", "-q", zip, "-d", env.Path("by-unzip")}));
    EXPECT_EQ(test::Snapshot(env.Path("by-unzip")), test::Snapshot(root));
}

// Whatever modes the archive records, extracted files are the user's alone: group
// and other bits cleared, the owner's bits kept (a program stays a program).
TEST_F(ArchiveTest, ExtractedFilesAndFoldersAreTheUsersAlone) {
    const std::string root = env.Path("source");
    test::MakeDirs(root + "/open");
    const std::vector<std::pair<std::string, mode_t>> files{{"everyone.sh", 0777},
                                                            {"plain.txt", 0644},
                                                            {"program", 0755},
                                                            {"private", 0600},
                                                            {"read-only", 0444}};
    for (const auto& [name, mode] : files) {
        test::WriteFile(root + "/" + name, name);
        ASSERT_EQ(::chmod((root + "/" + name).c_str(), mode), 0);
    }
    ASSERT_EQ(::chmod((root + "/open").c_str(), 0777), 0);
    ASSERT_TRUE(writer.PackFolder(root, env.Path("ours.zip"), nullptr, "").empty());
    // A crafted archive asks for the same, and for set-id bits.
    ASSERT_TRUE(test::RunPython(env.Root(), R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, mode in (("everyone.sh", 0o100777), ("plain.txt", 0o100644), ("program", 0o104755),
                       ("private", 0o100600), ("read-only", 0o100444), ("open/", 0o40777)):
        info = zipfile.ZipInfo(name)
        info.create_system = 3
        info.external_attr = (mode << 16) | (0x10 if name.endswith("/") else 0)
        z.writestr(info, "" if name.endswith("/") else name)
)",
                                {env.Path("crafted.zip")}));
    const std::map<std::string, mode_t> expected{{"everyone.sh", 0700}, {"plain.txt", 0600},
                                                 {"program", 0700},     {"private", 0600},
                                                 {"read-only", 0400},   {"open", 0700}};
    for (const char* archive : {"ours.zip", "crafted.zip"}) {
        const std::string out = env.Path(std::string("out-") + archive);
        ASSERT_TRUE(
            reader.ExtractTo(env.Path(archive), out, nullptr, ExistingFiles::Replace).empty());
        for (const auto& [name, mode] : expected) {
            struct stat info {};
            ASSERT_EQ(::stat((out + "/" + name).c_str(), &info), 0) << archive << " " << name;
            EXPECT_EQ(info.st_mode & 07777, mode) << archive << " " << name;
        }
    }
}

}  // namespace
