#pragma once

#include "RegistryLayer.h"
#include "desktop/FileTypeAssociation.h"
#include "desktop/MessageBox.h"

#include <string>

namespace orvelle::filesecurity {

inline constexpr const char* kKdfFileClass = "kdf_auto_file";
inline constexpr const char* kKdfDescription = "Kordex File";
inline constexpr const char* kKdfClassKey = "SOFTWARE\\Classes\\kdf_auto_file";

// The open command recorded for encrypted files: the program path and " %1".
[[nodiscard]] std::string KdfOpenCommand(const std::string& programPath);

// Writes the encrypted-file association into the registry: the extension ".KDF" as
// class "kdf_auto_file" described "Kordex File", each with its open command. Keys
// that cannot be created or opened are skipped without a word; any other failure
// ends the registration with a critical box.
void RegisterKdfAssociation(shell::RegistryLayer& registry, desktop::IMessageBox& messageBox,
                            const std::string& programPath);

// The test at load: registers the association when the class's description is not
// exactly "Kordex File". True when it registered now.
[[nodiscard]] bool CheckKdfAssociation(shell::RegistryLayer& registry,
                                       desktop::IMessageBox& messageBox,
                                       const std::string& programPath);

// The same association as the desktop records it (a MIME type for "*.kdf").
[[nodiscard]] desktop::FileTypeAssociation DesktopKdfAssociation(const std::string& programPath);

}  // namespace orvelle::filesecurity
