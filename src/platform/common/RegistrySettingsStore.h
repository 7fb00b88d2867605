#pragma once

#include "platform/Registry.h"
#include "platform/SettingsStore.h"

namespace orvelle::platform {

// The settings store where the platform keeps it: string values under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>.
class RegistrySettingsStore final : public ISettingsStore {
public:
    explicit RegistrySettingsStore(IRegistry& registry) : registry_(registry) {}

    static constexpr const char* kRoot = "Software\\VB and VBA Program Settings";

    [[nodiscard]] std::string GetSetting(const std::string& application, const std::string& section,
                                         const std::string& key,
                                         const std::string& defaultValue) override;
    void SaveSetting(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) override;

private:
    IRegistry& registry_;
};

}  // namespace orvelle::platform
