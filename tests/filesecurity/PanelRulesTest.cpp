#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "PanelRules.h"

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::filesecurity;
using desktop::FileDialogKind;

namespace {

TEST(PanelRulesTest, CaptionsForEveryScopeAndDirection) {
    const struct {
        CipherScope scope;
        CipherDirection direction;
        FieldCaptions expected;
    } rows[] = {
        {CipherScope::SingleFile, CipherDirection::Encrypt, {"Source File:", "Destination File:"}},
        {CipherScope::SingleFile, CipherDirection::Decrypt, {"Source File:", "Destination File:"}},
        {CipherScope::EntireFolder,
         CipherDirection::Encrypt,
         {"Source Folder:", "Destination File:"}},
        {CipherScope::EntireFolder,
         CipherDirection::Decrypt,
         {"Source File:", "Destination Folder:"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CaptionsFor(row.scope, row.direction), row.expected)
            << row.expected.source << " " << row.expected.destination;
    }
}

TEST(PanelRulesTest, BrowseFollowsTheCaptionOfItsOwnField) {
    const struct {
        int index;
        const char* caption;
        BrowseTarget expected;
    } rows[] = {
        {0, "Source Folder:", BrowseTarget::Folder},
        {0, "Source File:", BrowseTarget::File},
        {1, "Destination Folder:", BrowseTarget::Folder},
        {1, "Destination File:", BrowseTarget::File},
        {0, "Destination File:", BrowseTarget::Nothing},  // the other field's caption
        {1, "Source File:", BrowseTarget::Nothing},
        {0, "source file:", BrowseTarget::Nothing},  // captions compare exactly
        {2, "Source File:", BrowseTarget::Nothing},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(BrowseTargetFor(row.index, row.caption), row.expected)
            << row.index << " " << row.caption;
    }
}

TEST(PanelRulesTest, FileDialogsAndFiltersByFieldAndDirection) {
    const struct {
        bool isSource;
        bool encrypt;
        FileDialogKind kind;
        const char* filter;
    } rows[] = {
        {true, true, FileDialogKind::Open, "All Files (*.*) | *.*"},
        {true, false, FileDialogKind::Open,
         "Kordex and Age Files (*.kdf;*.age) | *.kdf;*.age | Kordex Files (*.kdf) | *.kdf | "
         "Age Files (*.age) | *.age"},
        // Save As offers age first: the format that resists attackers.
        {false, true, FileDialogKind::Save,
         "Age Files (*.age) | *.age | Kordex Files (*.kdf) | *.kdf"},
        {false, false, FileDialogKind::Save, "All Files (*.*) | *.*"},
    };
    for (const auto& row : rows) {
        const FileDialogChoice choice = FileDialogFor(row.isSource, row.encrypt);
        EXPECT_EQ(choice.kind, row.kind) << row.isSource << row.encrypt;
        EXPECT_EQ(choice.filter, row.filter) << row.isSource << row.encrypt;
    }
}

TEST(PanelRulesTest, APickedFolderLosesOneTrailingSeparatorButTheRootStays) {
    EXPECT_EQ(FolderFieldText("/home/u/docs", '/'), "/home/u/docs");
    EXPECT_EQ(FolderFieldText("/home/u/docs/", '/'), "/home/u/docs");
    EXPECT_EQ(FolderFieldText("/home/u/docs//", '/'), "/home/u/docs/") << "only one is removed";
    EXPECT_EQ(FolderFieldText("/", '/'), "/");
    EXPECT_EQ(FolderFieldText("C:\\", '\\'), "C:");
    EXPECT_EQ(FolderFieldText("", '/'), "");
}

TEST(PanelRulesTest, PassphraseChecksTrimBlanksAndCompareCaseSensitively) {
    const struct {
        const char* password;
        const char* reenter;
        const char* message;  // nullptr: the check passes
    } rows[] = {
        {"", "abc", "Empty is not valid."},
        {"   ", "   ", "Empty is not valid."},
        {"abc", "", "Empty is not valid."},
        {"abc", "  ", "Empty is not valid."},
        {"abc", "abd", "Unmatched passwords."},
        {"abc", "ABC", "Unmatched passwords."},
        {"a bc", "abc", "Unmatched passwords."},  // inner blanks count
        {" abc", "abc  ", nullptr},
        {"\tabc", "abc", "Unmatched passwords."},  // only blanks are trimmed
        {"abcdefghij", "abcdefghij", nullptr},     // the length is the cipher's concern
    };
    for (const auto& row : rows) {
        desktop::fake::FakeMessageBox messageBox;
        const bool passed = CheckPassphrases(row.password, row.reenter, messageBox);
        if (row.message == nullptr) {
            EXPECT_TRUE(passed) << row.password << "|" << row.reenter;
            EXPECT_TRUE(messageBox.shown.empty());
            continue;
        }
        EXPECT_FALSE(passed) << row.password << "|" << row.reenter;
        ASSERT_EQ(messageBox.shown.size(), 1U);
        EXPECT_EQ(messageBox.shown[0].text, row.message);
        EXPECT_EQ(messageBox.shown[0].title, "Password");
        EXPECT_EQ(messageBox.shown[0].icon, desktop::MessageIcon::Exclamation);
    }
}

TEST(PanelRulesTest, TheKdfNoticeIsOnlyForAKdfDestinationOfAnEncryption) {
    const struct {
        bool encrypting;
        const char* destination;
        bool shown;
    } rows[] = {
        {true, "/home/u/a.kdf", true},
        {true, "/home/u/a", true},
        {true, "/home/u/a.age", false},
        {true, "/home/u/a.AgE", false},
        {true, "", false},
        {true, "   ", false},
        {false, "/home/u/a.kdf", false},
        {true, "/home/u/age", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ShowsKdfNotice(row.encrypting, row.destination), row.shown)
            << row.encrypting << " " << row.destination;
    }
}

TEST(PanelRulesTest, ADecryptionGoesToTheNameWithoutItsEncryptedExtension) {
    const struct {
        const char* path;
        const char* decrypted;
    } rows[] = {
        {"/home/u/letter.txt.kdf", "/home/u/letter.txt"},
        {"/home/u/photo.AGE", "/home/u/photo"},
        {"/home/u/photo.Kdf", "/home/u/photo"},
        {"/home/u/notes.bin", "/home/u/notes.bin.decrypted"},
        {"/home/u/.age", "/home/u/.age.decrypted"},
        {"/home/u.kdf/plain", "/home/u.kdf/plain.decrypted"},
        {"a.age", "a"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecryptedFileName(row.path), row.decrypted) << row.path;
    }
}

}  // namespace
