#include "StartupEntry.h"

#include "Version.h"

#include <vector>

namespace orvelle::shell {

using namespace os;
using namespace store;

void SetRunAtStartup(IRegistry& registry, IStartupList& startupList, const std::string& programPath,
                     bool enabled) {
    const std::string name = ApplicationTitle();
    // The desktop's list is what starts the program here; it follows the option
    // even when the registry key cannot be opened.
    if (enabled) {
        static_cast<void>(startupList.AddEntry(name, programPath));  // failures are not reported
    } else {
        static_cast<void>(startupList.RemoveEntry(name));
    }

    HKEY handle = kNullKey;
    if (registry.RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, KEY_WRITE, handle) != ERROR_SUCCESS) {
        return;
    }
    const RegistryKey open(registry, handle);
    if (enabled) {
        std::vector<unsigned char> data(programPath.begin(), programPath.end());
        data.push_back(0);  // the stored length counts the terminating zero
        static_cast<void>(registry.RegSetValueExA(open.get(), name, REG_SZ, data.data(),
                                                  static_cast<std::uint32_t>(data.size())));
    } else {
        // A value that is not there is no error.
        static_cast<void>(registry.RegDeleteValueA(open.get(), name));
    }
}

}  // namespace orvelle::shell
