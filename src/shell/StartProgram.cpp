#include "StartProgram.h"

#include "ProgramPaths.h"
#include "Version.h"

namespace orvelle::shell {

bool EnsureKdfProfileEntry(store::IProfileFile& profile, const std::string& programPath) {
    static constexpr const char* kNotFound = "NotFound";
    std::string text;
    const std::uint32_t length =
        profile.GetPrivateProfileStringA("Extensions", "KDF", kNotFound, text, 255);
    text.resize(length);
    if (text != kNotFound) {
        return false;
    }
    // A failing write leaves the entry missing; the next start tries again.
    return profile.WritePrivateProfileStringA("Extensions", "KDF", programPath + " ^.KDF");
}

bool StartProgram(os::IInstanceLock& instanceLock, desktop::IMessageBox& messageBox,
                  store::IProfileFile& profile, const os::IProcessInfo& process,
                  const std::function<void()>& loadAndShowMainWindow,
                  const std::function<bool()>& handOver) {
    if (instanceLock.PreviousInstance()) {
        if (handOver && handOver()) {
            return false;
        }
        messageBox.Show(VersionText() + " already running.", kProductName,
                        desktop::MessageIcon::Information);
        return false;
    }
    static_cast<void>(EnsureKdfProfileEntry(profile, ProgramPath(process)));
    loadAndShowMainWindow();
    return true;
}

}  // namespace orvelle::shell
