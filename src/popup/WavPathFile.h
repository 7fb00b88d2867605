#pragma once

#include "os/FileSystem.h"
#include "os/ProcessInfo.h"

#include <string>

namespace orvelle::popup {

// "wavpath.txt": one line, the pop-up sound path, ended by CR LF.

// The file's full path: in the program folder when that may keep the user's files (the
// build tree, a folder of one's own), else in the user's own folder of the program, so
// that an installed program folder shared by every user never holds one user's choice.
[[nodiscard]] std::string WavPathFileName(const os::IProcessInfo& process);

// The first line of the file. A missing or empty file means no sound was chosen
// yet and reads as an empty path; other read errors throw RuntimeError.
[[nodiscard]] std::string ReadWavPathFile(os::IFileSystem& files, const os::IProcessInfo& process);

// Whether a path can be kept as the file's one line (it holds no line break).
[[nodiscard]] bool IsStorableSoundPath(const std::string& path);

// Replaces the file atomically with `soundPath` and CR LF; throws RuntimeError
// when it cannot be written or when the path holds a line break.
void WriteWavPathFile(os::IFileSystem& files, const os::IProcessInfo& process,
                      const std::string& soundPath);

}  // namespace orvelle::popup
