#pragma once

#include "desktop/FileTypeAssociation.h"

#include <string>
#include <vector>

namespace orvelle::desktop::xdg {

// The freedesktop association: a shared-mime-info package
// ($XDG_DATA_HOME/mime/packages/<id>.xml) that names the type, its glob and its
// comment, and a desktop entry ($XDG_DATA_HOME/applications/<id>.desktop) that opens
// such files with the program. Both are written atomically, only when their content
// differs, and the desktop's caches are then refreshed with update-mime-database and
// update-desktop-database where they are installed. The refresh runs on its own and
// is not waited for: it takes a noticeable part of a second, and the first start of
// the program should not. Nothing is written when the system's folders ($XDG_DATA_DIRS)
// already know the type from shared-mime-info and hold an application for it, as an
// installed package provides.
class XdgFileTypeAssociation final : public IFileTypeAssociation {
public:
    // `dataHome` empty: $XDG_DATA_HOME of the current environment.
    explicit XdgFileTypeAssociation(std::string dataHome = {});

    [[nodiscard]] AssociationStatus Register(const FileTypeAssociation& association) override;

    [[nodiscard]] std::string MimePackagePath(const FileTypeAssociation& association) const;
    [[nodiscard]] std::string DesktopEntryPath(const FileTypeAssociation& association) const;

    // What the two files hold for the association.
    static std::string MimePackage(const FileTypeAssociation& association);
    static std::string DesktopEntry(const FileTypeAssociation& association);

    // Whether the system's MIME database names the type and a system application opens it.
    [[nodiscard]] static bool SystemHasType(const FileTypeAssociation& association);

private:
    [[nodiscard]] std::string DataHome() const;

    std::string dataHome_;
};

}  // namespace orvelle::desktop::xdg
