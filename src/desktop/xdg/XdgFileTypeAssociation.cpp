#include "XdgFileTypeAssociation.h"

#include "DetachedProcess.h"

#include "AtomicFile.h"
#include "XdgMime.h"
#include "XdgPaths.h"
#include "XdgStartupList.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace orvelle::desktop::xdg {
namespace {

std::string XmlText(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// A desktop entry string value: backslash and line breaks escaped.
std::string EntryText(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\t') {
            escaped += "\\t";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

// The program's full path, looked up on PATH the way a shell would; "" when missing.
}  // namespace

XdgFileTypeAssociation::XdgFileTypeAssociation(std::string dataHome)
    : dataHome_(std::move(dataHome)) {
}

std::string XdgFileTypeAssociation::DataHome() const {
    return dataHome_.empty() ? os::posix::XdgPaths::DataHome() : dataHome_;
}

std::string XdgFileTypeAssociation::MimePackagePath(const FileTypeAssociation& association) const {
    return DataHome() + "/mime/packages/" + association.id + ".xml";
}

std::string XdgFileTypeAssociation::DesktopEntryPath(const FileTypeAssociation& association) const {
    return DataHome() + "/applications/" + association.id + ".desktop";
}

std::string XdgFileTypeAssociation::MimePackage(const FileTypeAssociation& association) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" +
           XmlText(association.mimeType) +
           "\">\n"
           "    <comment>" +
           XmlText(association.description) +
           "</comment>\n"
           "    <glob pattern=\"" +
           XmlText(association.glob) +
           "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string XdgFileTypeAssociation::DesktopEntry(const FileTypeAssociation& association) {
    // %f: the program is handed the local path of the file that was opened.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" +
           EntryText(association.application) +
           "\n"
           "Comment=" +
           EntryText(association.description) +
           "\n"
           "Exec=" +
           os::posix::XdgStartupList::ExecValue(association.programPath) +
           " %f\n"
           "Icon=orvelle\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=" +
           EntryText(association.mimeType) + ";\n";
}

bool XdgFileTypeAssociation::SystemHasType(const FileTypeAssociation& association) {
    XdgSearchPaths system = XdgSearchPaths::FromEnvironment();
    // The user's own folders come first; what is left are the system's.
    system.configDirs.erase(system.configDirs.begin());
    system.dataDirs.erase(system.dataDirs.begin());
    bool known = false;
    for (const auto& dir : system.dataDirs) {
        std::string types;
        if (os::posix::ReadWholeFile(dir + "/mime/types", types) == 0 &&
            ("\n" + types).find("\n" + association.mimeType + "\n") != std::string::npos) {
            known = true;
            break;
        }
    }
    return known && DefaultApplicationFor(system, association.mimeType).has_value();
}

AssociationStatus XdgFileTypeAssociation::Register(const FileTypeAssociation& association) {
    if (SystemHasType(association)) {
        // The package's records serve every user; one of our own would only shadow them
        // with this copy's path.
        return AssociationStatus::System;
    }
    const std::string mimePath = MimePackagePath(association);
    const std::string entryPath = DesktopEntryPath(association);
    const std::string mime = MimePackage(association);
    const std::string entry = DesktopEntry(association);
    std::string current;
    const bool mimeCurrent = os::posix::ReadWholeFile(mimePath, current) == 0 && current == mime;
    const bool entryCurrent = os::posix::ReadWholeFile(entryPath, current) == 0 && current == entry;
    if (mimeCurrent && entryCurrent) {
        return AssociationStatus::Unchanged;
    }
    if (!mimeCurrent) {
        if (!os::posix::MakeDirectories(FolderOf(mimePath), 0700) ||
            os::posix::WriteFileAtomically(mimePath, mime, 0644) != 0) {
            return AssociationStatus::Failed;
        }
        // Without the tool the type is unknown until something else rebuilds the cache;
        // the package file is in place for that.
        static_cast<void>(os::posix::StartDetached({"update-mime-database", DataHome() + "/mime"}));
    }
    if (!entryCurrent) {
        if (!os::posix::MakeDirectories(FolderOf(entryPath), 0700) ||
            os::posix::WriteFileAtomically(entryPath, entry, 0644) != 0) {
            return AssociationStatus::Failed;
        }
        // Likewise: desktops read the entry itself; the cache only speeds the lookup.
        static_cast<void>(
            os::posix::StartDetached({"update-desktop-database", DataHome() + "/applications"}));
    }
    return AssociationStatus::Written;
}

}  // namespace orvelle::desktop::xdg
