#pragma once

#include <string>

namespace orvelle::desktop {

// A file type the program registers with the desktop, and who opens it.
struct FileTypeAssociation {
    std::string id;           // file names of what is recorded: "orvelle-kordex"
    std::string mimeType;     // "application/x-kordex"
    std::string glob;         // "*.kdf"
    std::string description;  // "Kordex File"
    std::string application;  // the name shown for the opening program: "Orvelle"
    std::string programPath;  // the program that opens such files, given the file's path
};

enum class AssociationStatus {
    Unchanged,  // recorded so already, by the program for this user
    Written,    // recorded now
    Failed,     // could not be recorded
    System,     // the system records it already (an installed package): nothing written
};

// The desktop's own association of file types with programs (on Windows the
// registry's classes are that association, so there this records nothing).
class IFileTypeAssociation {
public:
    virtual ~IFileTypeAssociation() = default;

    // Records the association for this user when what is recorded differs from it (or
    // is missing) and lets the desktop know; Unchanged when it was already recorded so,
    // System when the system's own records name the type and a program that opens it.
    [[nodiscard]] virtual AssociationStatus Register(const FileTypeAssociation& association) = 0;
};

}  // namespace orvelle::desktop
