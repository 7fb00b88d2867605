#pragma once

#include "os/ProcessInfo.h"

#include <string>

namespace orvelle::os::posix {

// The running executable as /proc/self/exe names it (links resolved). Its data files lie
// beside it in the build tree; installed, they lie in the data folder at the fixed
// relative path that the build records (ORVELLE_DATA_FROM_PROGRAM, e.g.
// "../../../share/orvelle" from /usr/lib/x86_64-linux-gnu/orvelle).
class PosixProcessInfo final : public IProcessInfo {
public:
    PosixProcessInfo();
    // A program at `executablePath`, its data at `dataFromProgram` relative to its folder.
    PosixProcessInfo(const std::string& executablePath, const std::string& dataFromProgram);

    [[nodiscard]] std::string ProgramFolder() const override { return folder_; }
    [[nodiscard]] std::string ExecutableName() const override { return name_; }
    [[nodiscard]] char PathSeparator() const override { return '/'; }
    [[nodiscard]] std::string DataFolder() const override { return dataFolder_; }
    // Only a writable folder that also holds the data files, as the build tree does: an
    // installed program folder is shared, even when this user (root) may write it.
    [[nodiscard]] bool ProgramFolderKeepsUserFiles() const override;
    // $XDG_CONFIG_HOME/orvelle, where the registry store lives too.
    [[nodiscard]] std::string UserFilesFolder() const override;

private:
    std::string folder_;
    std::string name_;
    std::string dataFolder_;
};

}  // namespace orvelle::os::posix
