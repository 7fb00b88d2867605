#pragma once

#include "desktop/FileTypeAssociation.h"

#include <string>

namespace orvelle::filesecurity {

inline constexpr const char* kAgeMimeType = "application/x-age";
inline constexpr const char* kAgeDescription = "Age Encrypted File";

// Age files (".age") as the desktop records them: their own MIME type, opening the
// program, beside the ".kdf" type.
[[nodiscard]] desktop::FileTypeAssociation DesktopAgeAssociation(const std::string& programPath);

}  // namespace orvelle::filesecurity
