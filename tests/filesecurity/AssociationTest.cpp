#include "ArchiveTestSupport.h"
#include "FakeDesktop.h"
#include "FakeOs.h"
#include "FakeStore.h"
#include "KdfAssociation.h"
#include "SqliteRegistry.h"
#include "TempEnvironment.h"
#include "XdgFileTypeAssociation.h"

#include <unistd.h>

#include <cstdio>

#include <gtest/gtest.h>

using namespace orvelle;
using namespace orvelle::store;
using namespace orvelle::desktop;
using namespace orvelle::filesecurity;

namespace {

constexpr const char* kProgram = "/opt/orvelle/orvelle";

class KdfAssociationTest : public ::testing::Test {
protected:
    std::string Value(HKEY hive, const std::string& key) {
        HKEY handle = kNullKey;
        if (store.RegOpenKeyExA(hive, key, KEY_READ, handle) != ERROR_SUCCESS) {
            return "<no key>";
        }
        const RegistryKey open(store, handle);
        shell::RegValue value;
        if (layer.QueryValueEx(handle, "", value) != ERROR_SUCCESS) {
            return "<no value>";
        }
        return shell::RegValueText(value);
    }

    store::SqliteRegistry store{":memory:"};
    store::fake::FailingRegistry registry{store};
    desktop::fake::FakeMessageBox messageBox;
    shell::RegistryLayer layer{registry, messageBox};
};

TEST_F(KdfAssociationTest, OneLoadWritesAllFourValuesAndTheNextWritesNothing) {
    EXPECT_TRUE(CheckKdfAssociation(layer, messageBox, kProgram));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".KDF"), "kdf_auto_file");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".kdf\\shell\\open\\command"), "/opt/orvelle/orvelle %1");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file"), "Kordex File");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file\\shell\\open\\command"),
              "/opt/orvelle/orvelle %1");
    EXPECT_TRUE(messageBox.shown.empty());

    registry.failAllWrites = true;  // any write now would be seen as a failure
    registry.calls = 0;
    EXPECT_FALSE(CheckKdfAssociation(layer, messageBox, "/elsewhere/orvelle"));
    EXPECT_EQ(registry.calls, 3) << "open, query size, query value, nothing else";
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".KDF\\shell\\open\\command"), "/opt/orvelle/orvelle %1");
}

TEST_F(KdfAssociationTest, ADifferentDescriptionRewritesEverythingWithTheCurrentProgram) {
    ASSERT_TRUE(CheckKdfAssociation(layer, messageBox, kProgram));
    layer.SetHiveKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file", "",
                          std::string("Kordex file"), REG_SZ);
    layer.SetHiveKeyValue(HKEY_CLASSES_ROOT, ".KDF", "", std::string("other_class"), REG_SZ);
    EXPECT_TRUE(CheckKdfAssociation(layer, messageBox, "/moved/orvelle"));
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".KDF"), "kdf_auto_file");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file"), "Kordex File");
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".KDF\\SHELL\\open\\command"), "/moved/orvelle %1");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file\\shell\\open\\command"),
              "/moved/orvelle %1");
}

TEST_F(KdfAssociationTest, WithoutRightsNothingIsWrittenNothingIsSaidAndTheNextLoadTriesAgain) {
    registry.failAllWrites = true;
    EXPECT_TRUE(CheckKdfAssociation(layer, messageBox, kProgram));
    EXPECT_TRUE(messageBox.shown.empty());
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file"), "<no key>");

    registry.failAllWrites = false;
    EXPECT_TRUE(CheckKdfAssociation(layer, messageBox, kProgram));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file"), "Kordex File");
}

class XdgAssociationTest : public ::testing::Test {
protected:
    // The system's folders are private too, so that an installed package plays no part.
    void SetUp() override { env.Set("XDG_DATA_DIRS", env.Path("system")); }

    test::TempEnvironment env;
    desktop::xdg::XdgFileTypeAssociation desktop;
    FileTypeAssociation kdf = DesktopKdfAssociation("/opt/my programs/orvelle");
};

TEST_F(XdgAssociationTest, WrittenOnceAndRewrittenWhenTheDescriptionDiffers) {
    EXPECT_EQ(desktop.Register(kdf), AssociationStatus::Written);
    const std::string mime = test::ReadFile(desktop.MimePackagePath(kdf));
    const std::string entry = test::ReadFile(desktop.DesktopEntryPath(kdf));
    EXPECT_EQ(desktop.MimePackagePath(kdf), env.Path("data/mime/packages/orvelle-kordex.xml"));
    EXPECT_EQ(desktop.DesktopEntryPath(kdf), env.Path("data/applications/orvelle-kordex.desktop"));
    EXPECT_NE(mime.find("<mime-type type=\"application/x-kordex\">"), std::string::npos);
    EXPECT_NE(mime.find("<comment>Kordex File</comment>"), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.kdf\"/>"), std::string::npos);
    EXPECT_NE(entry.find("\nExec=\"/opt/my programs/orvelle\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=application/x-kordex;\n"), std::string::npos);

    EXPECT_EQ(desktop.Register(kdf), AssociationStatus::Unchanged);

    std::string older = mime;
    older.replace(older.find("Kordex File"), 11, "Old Kordex");
    test::WriteFile(desktop.MimePackagePath(kdf), older);
    EXPECT_EQ(desktop.Register(kdf), AssociationStatus::Written);
    EXPECT_EQ(test::ReadFile(desktop.MimePackagePath(kdf)), mime);
    EXPECT_EQ(desktop.Register(kdf), AssociationStatus::Unchanged);
}

TEST_F(XdgAssociationTest, AFolderInTheWayIsAFailureNotACrash) {
    test::MakeDirs(env.Path("data/mime/packages/orvelle-kordex.xml"));
    EXPECT_EQ(desktop.Register(kdf), AssociationStatus::Failed);
}

// What a command prints (tests only: fixed arguments), once it prints `expected` or
// after a few seconds: the desktop's caches are refreshed in the background.
std::string OutputOnceItIs(const std::string& command, const std::string& expected) {
    std::string output;
    for (int attempt = 0; attempt < 100; ++attempt) {
        output.clear();
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[512];
            while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) {
                output.append(buffer, got);
            }
            ::pclose(pipe);
        }
        while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) {
            output.pop_back();
        }
        if (output == expected) {
            break;
        }
        ::usleep(50 * 1000);
    }
    return output;
}

TEST_F(XdgAssociationTest, TheDesktopKnowsTheTypeAndWhoOpensIt) {
    ASSERT_TRUE(test::RunQuietly({"sh", "-c",
                                  "command -v update-mime-database && command -v "
                                  "update-desktop-database && command -v xdg-mime"}))
        << "shared-mime-info, desktop-file-utils and xdg-utils are needed (scripts/install-deps)";
    ASSERT_EQ(desktop.Register(kdf), AssociationStatus::Written);
    test::WriteFile(env.Path("home/secret.kdf"),
                    std::string("\x01\x02\x03\x04\x05\x06\x07\x08xyz", 11));
    test::WriteFile(env.Path("home/LOUD.KDF"), "abcdefgh");
    EXPECT_EQ(OutputOnceItIs("xdg-mime query filetype " + env.Path("home/secret.kdf"),
                             "application/x-kordex"),
              "application/x-kordex");
    EXPECT_EQ(OutputOnceItIs("xdg-mime query filetype " + env.Path("home/LOUD.KDF"),
                             "application/x-kordex"),
              "application/x-kordex");
    EXPECT_EQ(
        OutputOnceItIs("xdg-mime query default application/x-kordex", "orvelle-kordex.desktop"),
        "orvelle-kordex.desktop");
    EXPECT_TRUE(test::RunQuietly({"desktop-file-validate", desktop.DesktopEntryPath(kdf)}));
}

TEST_F(XdgAssociationTest, NothingIsWrittenForAUserWhenTheInstalledPackageProvidesTheType) {
    ASSERT_TRUE(test::RunQuietly({"sh", "-c",
                                  "command -v update-mime-database && command -v "
                                  "update-desktop-database && command -v xdg-mime"}))
        << "shared-mime-info, desktop-file-utils and xdg-utils are needed (scripts/install-deps)";
    const std::string data = ORVELLE_DATA_SOURCE_DIR;
    test::MakeDirs(env.Path("system/mime/packages"));
    test::MakeDirs(env.Path("system/applications"));
    test::WriteFile(env.Path("system/mime/packages/orvelle.xml"),
                    test::ReadFile(data + "/mime/orvelle.xml"));
    const std::string entry = test::ReadFile(data + "/org.orvelle.Orvelle.desktop");
    test::WriteFile(env.Path("system/applications/org.orvelle.Orvelle.desktop"), entry);

    // What the package's triggers do once it is installed.
    ASSERT_TRUE(test::RunQuietly({"update-mime-database", env.Path("system/mime")}));
    ASSERT_TRUE(test::RunQuietly({"update-desktop-database", env.Path("system/applications")}));
    EXPECT_EQ(desktop.Register(kdf), AssociationStatus::System);
    EXPECT_FALSE(test::Exists(desktop.MimePackagePath(kdf)));
    EXPECT_FALSE(test::Exists(desktop.DesktopEntryPath(kdf)));
    test::WriteFile(env.Path("home/secret.kdf"), "12345678");
    EXPECT_EQ(OutputOnceItIs("xdg-mime query filetype " + env.Path("home/secret.kdf"),
                             "application/x-kordex"),
              "application/x-kordex")
        << "the package's type is the one the program records for itself";
    EXPECT_EQ(OutputOnceItIs("xdg-mime query default application/x-kordex",
                             "org.orvelle.Orvelle.desktop"),
              "org.orvelle.Orvelle.desktop");

    test::WriteFile(env.Path("system/applications/org.orvelle.Orvelle.desktop"),
                    entry + "Hidden=true\n");
    EXPECT_EQ(desktop.Register(kdf), AssociationStatus::Written)
        << "a type that no system program opens is recorded for the user";
}

}  // namespace
