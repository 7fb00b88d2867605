#include "WavPathFile.h"

#include "ProgramPaths.h"
#include "os/RuntimeError.h"

namespace orvelle::popup {

using os::RuntimeError;

std::string WavPathFileName(const os::IProcessInfo& process) {
    if (process.ProgramFolderKeepsUserFiles()) {
        return shell::ProgramFile(process, "wavpath.txt");
    }
    return process.UserFilesFolder() + process.PathSeparator() + "wavpath.txt";
}

std::string ReadWavPathFile(os::IFileSystem& files, const os::IProcessInfo& process) {
    try {
        const auto lines = files.ReadLines(WavPathFileName(process));
        return lines.empty() ? std::string() : lines.front();
    } catch (const RuntimeError& error) {
        if (error.Number() == os::errors::kFileNotFound) {
            return {};
        }
        throw;
    }
}

bool IsStorableSoundPath(const std::string& path) {
    return path.find_first_of("\r\n") == std::string::npos;
}

void WriteWavPathFile(os::IFileSystem& files, const os::IProcessInfo& process,
                      const std::string& soundPath) {
    if (!IsStorableSoundPath(soundPath)) {
        // A second line would be lost on the next read and the path cut short.
        throw RuntimeError(os::errors::kInvalidProcedureCall,
                           "The sound file name holds a line break and cannot be kept in "
                           "wavpath.txt");
    }
    files.WriteFileAtomic(WavPathFileName(process), soundPath + "\r\n");
}

}  // namespace orvelle::popup
