#pragma once

#include "desktop/FileDialogs.h"
#include "desktop/FileTypeAssociation.h"
#include "desktop/MessageBox.h"
#include "filesecurity/Archive.h"
#include "os/ControlFactory.h"
#include "os/ControlRegistration.h"
#include "os/FileSystem.h"
#include "os/ProcessInfo.h"
#include "os/TempPath.h"
#include "os/TemporaryFiles.h"
#include "store/Registry.h"

namespace orvelle::filesecurity {

// What the File Security page works with: the cipher control by identifier, the
// archive components and the temporary archive's file, the pickers, and the encrypted
// files' association (the registry's and the desktop's file types).
struct FileSecurityServices {
    os::IControlFactory& controls;
    os::IControlRegistration& controlRegistration;
    filesecurity::IArchiveWriter& zipControl;
    filesecurity::IArchiveReader& unzipControl;
    os::IFileSystem& files;
    os::ITemporaryFiles& temporaryFiles;
    os::ITempPath& tempPath;
    const os::IProcessInfo& process;
    desktop::IMessageBox& messageBox;
    store::IRegistry& registry;
    desktop::IFileTypeAssociation& fileTypes;
    desktop::IFileDialogs& fileDialogs;
};

}  // namespace orvelle::filesecurity
