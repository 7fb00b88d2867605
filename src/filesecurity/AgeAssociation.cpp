#include "AgeAssociation.h"

#include "Version.h"

namespace orvelle::filesecurity {

desktop::FileTypeAssociation DesktopAgeAssociation(const std::string& programPath) {
    // Debian's shared-mime-info defines no type for age files; this one is ours.
    return {"orvelle-age", kAgeMimeType, "*.age", kAgeDescription, shell::ApplicationTitle(),
            programPath};
}

}  // namespace orvelle::filesecurity
