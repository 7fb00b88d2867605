#include "RegistrySettingsStore.h"

#include <vector>

namespace orvelle::store {
namespace {

std::string KeyPath(const std::string& application, const std::string& section) {
    return std::string(RegistrySettingsStore::kRoot) + "\\" + application + "\\" + section;
}

}  // namespace

std::string RegistrySettingsStore::GetSetting(const std::string& application,
                                              const std::string& section, const std::string& key,
                                              const std::string& defaultValue) {
    HKEY handle = kNullKey;
    if (registry_.RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(application, section), KEY_READ,
                                handle) != ERROR_SUCCESS) {
        return defaultValue;
    }
    const RegistryKey open(registry_, handle);
    std::uint32_t type = REG_NONE;
    std::uint32_t size = 0;
    if (registry_.RegQueryValueExA(open.get(), key, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return defaultValue;
    }
    std::vector<unsigned char> buffer(size);
    if (registry_.RegQueryValueExA(open.get(), key, &type, buffer.data(), &size) != ERROR_SUCCESS) {
        return defaultValue;
    }
    std::string text(buffer.begin(), buffer.begin() + size);
    // The stored text ends at its terminating zero.
    const auto zero = text.find('\0');
    if (zero != std::string::npos) {
        text.resize(zero);
    }
    return text;
}

void RegistrySettingsStore::SaveSetting(const std::string& application, const std::string& section,
                                        const std::string& key, const std::string& value) {
    const auto failed = [&](LSTATUS status) {
        if (onWriteFailure_) {
            onWriteFailure_(section + "\\" + key, status);
        }
    };
    HKEY handle = kNullKey;
    if (const LSTATUS status = registry_.RegCreateKeyExA(
            HKEY_CURRENT_USER, KeyPath(application, section), KEY_SIX_SPECIFIC_RIGHTS, handle);
        status != ERROR_SUCCESS) {
        failed(status);
        return;
    }
    const RegistryKey open(registry_, handle);
    std::vector<unsigned char> data(value.begin(), value.end());
    data.push_back(0);
    if (const LSTATUS status = registry_.RegSetValueExA(open.get(), key, REG_SZ, data.data(),
                                                        static_cast<std::uint32_t>(data.size()));
        status != ERROR_SUCCESS) {
        failed(status);
    }
}

}  // namespace orvelle::store
