#pragma once

#include "os/StartupList.h"

#include <string>

namespace orvelle::os::posix {

// The freedesktop autostart folder: $XDG_CONFIG_HOME/autostart/<name>.desktop.
class XdgStartupList final : public IStartupList {
public:
    // `folder` empty: the autostart folder of the current environment.
    explicit XdgStartupList(std::string folder = {});

    bool AddEntry(const std::string& name, const std::string& programPath) override;
    bool RemoveEntry(const std::string& name) override;

    [[nodiscard]] std::string EntryPath(const std::string& name) const;

    // The desktop entry's Exec value that starts `programPath` with no arguments.
    static std::string ExecValue(const std::string& programPath);

private:
    [[nodiscard]] std::string Folder() const;

    std::string folder_;
};

}  // namespace orvelle::os::posix
