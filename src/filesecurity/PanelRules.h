#pragma once

#include "desktop/FileDialogs.h"
#include "desktop/MessageBox.h"

#include <string>

namespace orvelle::filesecurity {

enum class CipherDirection { Encrypt, Decrypt };
enum class CipherScope { SingleFile, EntireFolder };

// The captions of the source and destination fields.
struct FieldCaptions {
    std::string source;
    std::string destination;

    friend bool operator==(const FieldCaptions&, const FieldCaptions&) = default;
};

// The captions for a scope and a direction: a folder is the source of a folder
// encryption and the destination of a folder decryption; everything else is a file.
[[nodiscard]] FieldCaptions CaptionsFor(CipherScope scope, CipherDirection direction);

// The page's permanent notice beside the passphrase: the format is a repeating
// 8-byte XOR, and a few known bytes of any file give back the whole passphrase.
inline constexpr const char* kKdfNotice =
    ".kdf files keep out casual readers only; they do not resist an attacker";

inline constexpr const char* kAllFilesFilter = "All Files (*.*) | *.*";
inline constexpr const char* kKordexFilesFilter = "Kordex Files (*.kdf) | *.kdf";
// The destination of an encryption: age first, the format that resists attackers.
inline constexpr const char* kEncryptedFilesFilter =
    "Age Files (*.age) | *.age | Kordex Files (*.kdf) | *.kdf";
// The source of a decryption: both formats at once, then each alone.
inline constexpr const char* kEncryptedSourcesFilter =
    "Kordex and Age Files (*.kdf;*.age) | *.kdf;*.age | Kordex Files (*.kdf) | *.kdf | "
    "Age Files (*.age) | *.age";

// Where the page points for real protection: ".age", beside the ".kdf" notice.
inline constexpr const char* kAgeAdviceText =
    "For real protection, give the destination the extension \".age\": age files "
    "resist attackers, take any passphrase of any length, and open with every age "
    "tool (age -d FILE.age).";

// Whether an encryption to `destination` writes the age format: a name ending in
// ".age", any letter case (as the cipher decides).
[[nodiscard]] bool NamesAgeFile(const std::string& destination);

// Where a decryption of `path` goes by default: the same name without ".kdf" or
// ".age" (any case), or with ".decrypted" added for any other name.
[[nodiscard]] std::string DecryptedFileName(const std::string& path);

// Whether the ".kdf" notice is shown: only while a ".kdf" file is being chosen as
// the destination of an encryption.
[[nodiscard]] bool ShowsKdfNotice(bool encrypting, const std::string& destination);

// What a Browse button picks, decided by the caption of its field's label.
enum class BrowseTarget { Nothing, Folder, File };
[[nodiscard]] BrowseTarget BrowseTargetFor(int index, const std::string& caption);

// The file dialog for a field: open for the source, save for the destination, with
// the encrypted files' filters (".kdf" and ".age") on the encrypted side.
struct FileDialogChoice {
    desktop::FileDialogKind kind;
    std::string filter;
};
[[nodiscard]] FileDialogChoice FileDialogFor(bool isSource, bool encrypt);

// A picked folder as the field shows it: one trailing separator removed, except
// when the path is the root itself (which would otherwise read as nothing picked).
[[nodiscard]] std::string FolderFieldText(std::string path, char separator);

// The text without blanks at either end.
[[nodiscard]] std::string Trim(const std::string& text);

// The passphrase checks of the Encrypt and Decrypt buttons, on trimmed copies:
// neither box blank, both the same. Shows the message and returns false on the
// first one that fails.
[[nodiscard]] bool CheckPassphrases(const std::string& password, const std::string& reenter,
                                    desktop::IMessageBox& messageBox);

}  // namespace orvelle::filesecurity
