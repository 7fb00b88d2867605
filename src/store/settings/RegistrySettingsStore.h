#pragma once

#include "store/Registry.h"
#include "store/SettingsStore.h"

#include <functional>
#include <string>

namespace orvelle::store {

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

    // Called with "section\key" and the registry's status when a value could not be
    // saved; the old value stays. Without a handler the failure goes unreported.
    using WriteFailure = std::function<void(const std::string& setting, LSTATUS status)>;
    void SetWriteFailureHandler(WriteFailure handler) { onWriteFailure_ = std::move(handler); }

private:
    IRegistry& registry_;
    WriteFailure onWriteFailure_;
};

}  // namespace orvelle::store
