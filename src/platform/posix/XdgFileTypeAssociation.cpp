#include "XdgFileTypeAssociation.h"

#include "AtomicFile.h"
#include "XdgPaths.h"
#include "XdgStartupList.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace orvelle::platform::posix {
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
std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::string::size_type start = 0;
    while (start <= folders.size()) {
        auto end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = end == start ? "." : folders.substr(start, end - start);
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::vector<char*> ArgumentVector(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

XdgFileTypeAssociation::XdgFileTypeAssociation(std::string dataHome)
    : dataHome_(std::move(dataHome)) {}

std::string XdgFileTypeAssociation::DataHome() const {
    return dataHome_.empty() ? XdgPaths::DataHome() : dataHome_;
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
           "  <mime-type type=\"" + XmlText(association.mimeType) + "\">\n"
           "    <comment>" + XmlText(association.description) + "</comment>\n"
           "    <glob pattern=\"" + XmlText(association.glob) + "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string XdgFileTypeAssociation::DesktopEntry(const FileTypeAssociation& association) {
    // %f: the program is handed the local path of the file that was opened.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + EntryText(association.application) + "\n"
           "Comment=" + EntryText(association.description) + "\n"
           "Exec=" + XdgStartupList::ExecValue(association.programPath) + " %f\n"
           "Icon=orvelle\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=" + EntryText(association.mimeType) + ";\n";
}

AssociationStatus XdgFileTypeAssociation::Register(const FileTypeAssociation& association) {
    const std::string mimePath = MimePackagePath(association);
    const std::string entryPath = DesktopEntryPath(association);
    const std::string mime = MimePackage(association);
    const std::string entry = DesktopEntry(association);
    std::string current;
    const bool mimeCurrent = ReadWholeFile(mimePath, current) == 0 && current == mime;
    const bool entryCurrent = ReadWholeFile(entryPath, current) == 0 && current == entry;
    if (mimeCurrent && entryCurrent) {
        return AssociationStatus::Unchanged;
    }
    if (!mimeCurrent) {
        if (!MakeDirectories(FolderOf(mimePath), 0700) ||
            WriteFileAtomically(mimePath, mime, 0644) != 0) {
            return AssociationStatus::Failed;
        }
        // Without the tool the type is unknown until something else rebuilds the cache;
        // the package file is in place for that.
        static_cast<void>(StartDetached({"update-mime-database", DataHome() + "/mime"}));
    }
    if (!entryCurrent) {
        if (!MakeDirectories(FolderOf(entryPath), 0700) ||
            WriteFileAtomically(entryPath, entry, 0644) != 0) {
            return AssociationStatus::Failed;
        }
        // Likewise: desktops read the entry itself; the cache only speeds the lookup.
        static_cast<void>(StartDetached({"update-desktop-database", DataHome() + "/applications"}));
    }
    return AssociationStatus::Written;
}

bool StartDetached(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return false;
    }
    // Everything the children need is prepared here: between fork and exec only
    // async-signal-safe calls are allowed, as the program has other threads.
    const std::string program = FindProgram(arguments.front());
    if (program.empty()) {
        return false;
    }
    std::vector<char*> argv = ArgumentVector(arguments);
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        // The grandchild runs the program; its parent ends at once, so init reaps it.
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0) {
                ::dup2(null, STDIN_FILENO);
                ::dup2(null, STDOUT_FILENO);
                ::dup2(null, STDERR_FILENO);
            }
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace orvelle::platform::posix
