#pragma once

#include "platform/Archive.h"
#include "platform/ControlFactory.h"
#include "platform/ControlRegistration.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/FileTypeAssociation.h"
#include "platform/MessageBox.h"
#include "platform/ProcessInfo.h"
#include "platform/Registry.h"
#include "platform/TempPath.h"
#include "platform/TemporaryFiles.h"

namespace orvelle::filesecurity {

// What the File Security page works with: the cipher control by identifier, the
// archive components and the temporary archive's file, the pickers, and the encrypted
// files' association (the registry's and the desktop's file types).
struct FileSecurityServices {
    platform::IControlFactory& controls;
    platform::IControlRegistration& controlRegistration;
    platform::IArchiveWriter& zipControl;
    platform::IArchiveReader& unzipControl;
    platform::IFileSystem& files;
    platform::ITemporaryFiles& temporaryFiles;
    platform::ITempPath& tempPath;
    const platform::IProcessInfo& process;
    platform::IMessageBox& messageBox;
    platform::IRegistry& registry;
    platform::IFileTypeAssociation& fileTypes;
    platform::IFileDialogs& fileDialogs;
};

}  // namespace orvelle::filesecurity
