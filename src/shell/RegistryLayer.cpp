#include "RegistryLayer.h"

#include "ErrorBox.h"
#include "VbConvert.h"

#include <cstring>
#include <vector>

namespace orvelle::shell {

using namespace store;

std::string RegValueText(const RegValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        return std::to_string(*number);
    }
    return {};
}

LSTATUS RegistryLayer::SetValueEx(HKEY key, const std::string& valueName, std::uint32_t type,
                                  const RegValue& value) {
    if (type == REG_SZ) {
        const std::string text = RegValueText(value);
        std::vector<unsigned char> data(text.begin(), text.end());
        data.push_back(0);
        return registry_.RegSetValueExA(key, valueName, REG_SZ, data.data(),
                                        static_cast<std::uint32_t>(data.size()));
    }
    if (type == REG_DWORD) {
        std::int32_t number = 0;
        if (const auto* given = std::get_if<std::int32_t>(&value)) {
            number = *given;
        } else {
            number = ToInt32(RegValueText(value));  // text that is no number: error 13
        }
        unsigned char data[4];
        std::memcpy(data, &number, sizeof data);
        return registry_.RegSetValueExA(key, valueName, REG_DWORD, data, sizeof data);
    }
    return ERROR_SUCCESS;
}

LSTATUS RegistryLayer::QueryValueEx(HKEY lhKey, const std::string& szValueName, RegValue& vValue) {
    std::uint32_t type = REG_NONE;
    std::uint32_t size = 0;
    LSTATUS status = registry_.RegQueryValueExA(lhKey, szValueName, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (type == REG_SZ) {
        std::vector<unsigned char> buffer(size, 0);
        status = registry_.RegQueryValueExA(lhKey, szValueName, &type, buffer.data(), &size);
        if (status == ERROR_SUCCESS) {
            // Drop the terminating zero: the first size - 1 characters.
            const std::size_t length = size == 0 ? 0 : size - 1;
            vValue =
                std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length));
        } else {
            vValue = std::monostate{};
        }
        return status;
    }
    if (type == REG_DWORD) {
        unsigned char data[4] = {0, 0, 0, 0};
        std::uint32_t dataSize = sizeof data;
        status = registry_.RegQueryValueExA(lhKey, szValueName, &type, data, &dataSize);
        if (status == ERROR_SUCCESS) {
            std::int32_t number = 0;
            std::memcpy(&number, data, sizeof number);
            vValue = number;
        }
        return status;
    }
    return -1;
}

void RegistryLayer::SetHiveKeyValue(HKEY hive, const std::string& keyPath,
                                    const std::string& valueName, const RegValue& value,
                                    std::uint32_t type) {
    RunTrapped(messageBox_, [&] {
        HKEY handle = kNullKey;
        // A missing key is not created: the value is then simply not written.
        static_cast<void>(registry_.RegOpenKeyExA(hive, keyPath, KEY_SIX_SPECIFIC_RIGHTS, handle));
        const RegistryKey open(registry_, handle);
        // The status is not reported to the caller; a write to handle 0 fails harmlessly.
        static_cast<void>(SetValueEx(open.get(), valueName, type, value));
    });
}

void RegistryLayer::SetUserKeyValue(const std::string& keyPath, const std::string& valueName,
                                    const RegValue& value, std::uint32_t type) {
    SetHiveKeyValue(HKEY_CURRENT_USER, keyPath, valueName, value, type);
}

std::string RegistryLayer::QueryHiveValue(HKEY hive, const std::string& keyPath,
                                          const std::string& valueName) {
    std::string result;
    RunTrapped(messageBox_, [&] {
        HKEY handle = kNullKey;
        static_cast<void>(registry_.RegOpenKeyExA(hive, keyPath, KEY_SIX_SPECIFIC_RIGHTS, handle));
        const RegistryKey open(registry_, handle);
        RegValue value;
        // The status is not looked at: missing key, missing value and another type
        // all leave the value empty.
        static_cast<void>(QueryValueEx(open.get(), valueName, value));
        result = RegValueText(value);
    });
    return result;
}

std::string RegistryLayer::QueryMachineValue(const std::string& keyPath,
                                             const std::string& valueName) {
    return QueryHiveValue(HKEY_LOCAL_MACHINE, keyPath, valueName);
}

std::string RegistryLayer::QueryUserValue(const std::string& keyPath,
                                          const std::string& valueName) {
    return QueryHiveValue(HKEY_CURRENT_USER, keyPath, valueName);
}

}  // namespace orvelle::shell
