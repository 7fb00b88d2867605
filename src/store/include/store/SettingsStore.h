#pragma once

#include <string>

namespace orvelle::store {

// The per-user settings store: text values addressed by application, section and key.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // The stored text, or `defaultValue` when application, section or key is missing.
    [[nodiscard]] virtual std::string GetSetting(const std::string& application,
                                                 const std::string& section, const std::string& key,
                                                 const std::string& defaultValue) = 0;
    // Stores the text, creating whatever is missing; a failing write is silent.
    virtual void SaveSetting(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

}  // namespace orvelle::store
