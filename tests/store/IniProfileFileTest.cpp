#include "IniProfileFile.h"
#include "TempEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using orvelle::store::IniProfileFile;
using orvelle::test::ReadFile;
using orvelle::test::WriteFile;

namespace {

class IniProfileFileTest : public ::testing::Test {
protected:
    std::string Read(const std::string& section, const std::string& key, const std::string& def,
                     std::uint32_t size = 255) {
        std::string text;
        const auto length = ini.GetPrivateProfileStringA(section, key, def, text, size);
        EXPECT_EQ(length, text.size()) << "the result is the number of characters copied";
        return text;
    }
    orvelle::test::TempEnvironment environment;
    std::string path = environment.Path("win.ini");
    IniProfileFile ini{path};
};

}  // namespace

TEST_F(IniProfileFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Read("Extensions", "KDF", "NotFound"), "NotFound");
    WriteFile(path, "[Other]\nKDF=x\n[Extensions]\ntxt=notepad.exe ^.txt\n");
    EXPECT_EQ(Read("Extensions", "KDF", "NotFound"), "NotFound");
    EXPECT_EQ(Read("Missing", "KDF", "NotFound"), "NotFound");
}

TEST_F(IniProfileFileTest, ReadsAreCaseInsensitiveTrimmedAndUnquoted) {
    WriteFile(path,
              "; comment\r\n  [ extensions ]  \r\n  kdf =  /opt/orvelle/orvelle ^.KDF  \r\n"
              "quoted=\"  spaced  \"\r\n");
    EXPECT_EQ(Read("EXTENSIONS", "KDF", "NotFound"), "/opt/orvelle/orvelle ^.KDF");
    EXPECT_EQ(Read("Extensions", "Quoted", ""), "  spaced  ");
}

TEST_F(IniProfileFileTest, TheReadIsCutToTheBuffer) {
    WriteFile(path, "[S]\nk=abcdef\n");
    EXPECT_EQ(Read("S", "k", "", 4), "abc");
    EXPECT_EQ(Read("S", "k", "", 1), "");
    EXPECT_EQ(Read("S", "missing", "NotFound", 4), "Not");
}

TEST_F(IniProfileFileTest, WritesAddReplaceAndDeleteKeepingEverythingElse) {
    WriteFile(path, "; keep me\n[Extensions]\ntxt=notepad.exe ^.txt\n\n[Fonts]\nA=1\n");
    ASSERT_TRUE(
        ini.WritePrivateProfileStringA("extensions", "KDF", std::string("/p/orvelle ^.KDF")));
    EXPECT_EQ(
        ReadFile(path),
        "; keep me\n[Extensions]\ntxt=notepad.exe ^.txt\nKDF=/p/orvelle ^.KDF\n\n[Fonts]\nA=1\n");
    ASSERT_TRUE(ini.WritePrivateProfileStringA("Extensions", "kdf", std::string("new")));
    EXPECT_EQ(Read("Extensions", "KDF", ""), "new");
    ASSERT_TRUE(ini.WritePrivateProfileStringA("Extensions", "KDF", std::nullopt));
    EXPECT_EQ(Read("Extensions", "KDF", "gone"), "gone");
    ASSERT_TRUE(ini.WritePrivateProfileStringA("New Section", "Key", std::string("Value")));
    EXPECT_EQ(Read("new section", "key", ""), "Value");
    EXPECT_EQ(Read("Fonts", "A", ""), "1");
}

TEST_F(IniProfileFileTest, AWriteThatWouldReadBackAsOtherEntriesIsRefused) {
    const std::string before = "[Extensions]\ntxt=notepad.exe ^.txt\n";
    WriteFile(path, before);
    struct Row {
        const char* section;
        const char* key;
        const char* value;
    };
    const Row rows[] = {
        {"Extensions", "KDF", "/tmp/a\n[Extensions]\ntxt=evil ^.KDF"},
        {"Extensions", "KDF", "/tmp/a\rb"},
        {"Extensions", "K\nDF", "x"},
        {"Ext]ensions", "KDF", "x"},
        {"Exten\nsions", "KDF", "x"},
        {"Extensions", "txt=x", "y"},
        {"Extensions", "; KDF", "x"},
        {"Extensions", "[KDF]", "x"},
    };
    for (const auto& row : rows) {
        EXPECT_FALSE(ini.WritePrivateProfileStringA(row.section, row.key, std::string(row.value)))
            << row.section << "/" << row.key << "=" << row.value;
    }
    EXPECT_EQ(ReadFile(path), before);
    // Line breaks at either end are trimmed away, as every value is.
    ASSERT_TRUE(ini.WritePrivateProfileStringA("Extensions", "KDF", std::string("x\r\n")));
    EXPECT_EQ(Read("Extensions", "KDF", ""), "x");
}

TEST_F(IniProfileFileTest, AWriteReplacesALinkInsteadOfWritingThroughIt) {
    const std::string target = environment.Path("elsewhere.txt");
    WriteFile(target, "untouched");
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    // The link cannot be read (never followed), so the file is not replaced either.
    EXPECT_FALSE(ini.WritePrivateProfileStringA("Extensions", "KDF", std::string("x")));
    EXPECT_EQ(ReadFile(target), "untouched");
}

TEST_F(IniProfileFileTest, AnUnwritableFolderReportsFailureAndKeepsTheFile) {
    const std::string folder = environment.Path("locked");
    orvelle::test::MakeDirs(folder);
    const std::string lockedPath = folder + "/win.ini";
    WriteFile(lockedPath, "[Extensions]\nKDF=old\n");
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    IniProfileFile locked(lockedPath);
    if (::geteuid() == 0) {
        // root writes anyway; the content must then be the new one, whole.
        EXPECT_TRUE(locked.WritePrivateProfileStringA("Extensions", "KDF", std::string("new")));
        EXPECT_EQ(ReadFile(lockedPath), "[Extensions]\nKDF=new\n");
    } else {
        EXPECT_FALSE(locked.WritePrivateProfileStringA("Extensions", "KDF", std::string("new")));
        EXPECT_EQ(ReadFile(lockedPath), "[Extensions]\nKDF=old\n");
    }
    ::chmod(folder.c_str(), 0700);
}
