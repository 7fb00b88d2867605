#pragma once

#include "XdgMime.h"
#include "desktop/ShellExecute.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::desktop::xdg {

// File associations of the freedesktop desktop (shared MIME database, mimeapps.list,
// desktop files). The associated "executable" is the application's .desktop file, which
// ShellExecuteA starts by its Exec line; programs start detached, never through a shell.
class XdgShellExecute final : public IShellExecute {
public:
    // `searchPaths`: where to look; read from the environment on every call when empty.
    explicit XdgShellExecute(std::optional<XdgSearchPaths> searchPaths = std::nullopt);

    int FindExecutableA(const std::string& file, std::string& executable) override;
    int ShellExecuteA(WindowHandle parent, const std::string& operation, const std::string& file,
                      const std::string& parameters, int showCommand) override;

private:
    [[nodiscard]] XdgSearchPaths Paths() const;
    std::optional<XdgSearchPaths> searchPaths_;
};

// Splits parameters as a shell splits words: blanks separate, double quotes (with \" \\ \$
// \` escapes) and single quotes group, a backslash outside quotes escapes the next character.
// Nothing is expanded. nullopt when a quote is not closed.
std::optional<std::vector<std::string>> SplitParameters(const std::string& parameters);

}  // namespace orvelle::desktop::xdg
