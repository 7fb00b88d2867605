#include "KdfAssociation.h"

#include "Version.h"
#include "os/RuntimeError.h"

namespace orvelle::filesecurity {

using namespace os;
using namespace store;
using namespace desktop;

std::string KdfOpenCommand(const std::string& programPath) {
    return programPath + " %1";
}

void RegisterKdfAssociation(shell::RegistryLayer& registry, IMessageBox& messageBox,
                            const std::string& programPath) {
    try {
        IRegistry& keys = registry.Registry();
        // The value writer only opens existing keys: create the paths first. A key
        // that cannot be created (no rights) is skipped; its values are then not written.
        for (const auto& [hive, path] :
             {std::pair<HKEY, const char*>{
                  HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\kdf_auto_file\\shell\\open\\command"},
              std::pair<HKEY, const char*>{HKEY_CLASSES_ROOT, ".kdf\\shell\\open\\command"}}) {
            HKEY created = kNullKey;
            static_cast<void>(keys.RegCreateKeyExA(hive, path, KEY_SIX_SPECIFIC_RIGHTS, created));
            const RegistryKey close(keys, created);
        }
        const std::string command = KdfOpenCommand(programPath);
        registry.SetHiveKeyValue(HKEY_CLASSES_ROOT, ".KDF", "", std::string(kKdfFileClass), REG_SZ);
        registry.SetHiveKeyValue(HKEY_CLASSES_ROOT, ".KDF\\shell\\open\\command", "", command,
                                 REG_SZ);
        registry.SetHiveKeyValue(HKEY_LOCAL_MACHINE, kKdfClassKey, "", std::string(kKdfDescription),
                                 REG_SZ);
        registry.SetHiveKeyValue(HKEY_LOCAL_MACHINE,
                                 "SOFTWARE\\Classes\\kdf_auto_file\\shell\\open\\command", "",
                                 command, REG_SZ);
    } catch (const RuntimeError& error) {
        messageBox.Show(error.Description(), shell::ApplicationTitle(), MessageIcon::Critical);
    }
}

bool CheckKdfAssociation(shell::RegistryLayer& registry, IMessageBox& messageBox,
                         const std::string& programPath) {
    if (registry.QueryMachineValue(kKdfClassKey, "") == kKdfDescription) {
        return false;
    }
    RegisterKdfAssociation(registry, messageBox, programPath);
    return true;
}

FileTypeAssociation DesktopKdfAssociation(const std::string& programPath) {
    return {"orvelle-kordex", "application/x-kordex",    "*.kdf",
            kKdfDescription,  shell::ApplicationTitle(), programPath};
}

}  // namespace orvelle::filesecurity
