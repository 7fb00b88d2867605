#pragma once

#include "desktop/MessageBox.h"
#include "store/Registry.h"

#include <cstdint>
#include <string>
#include <variant>

namespace orvelle::shell {

// A value as the registry layer hands it around: no value, a text (type 1) or a
// 32-bit integer (type 4).
using RegValue = std::variant<std::monostate, std::string, std::int32_t>;

// The value as text: a number in decimal, no value as the empty text.
std::string RegValueText(const RegValue& value);

// The program's small layer over the registry: each key-level routine opens its
// key, does one thing and closes it again; none creates a missing key.
class RegistryLayer {
public:
    RegistryLayer(store::IRegistry& registry, desktop::IMessageBox& messageBox)
        : registry_(registry), messageBox_(messageBox) {}

    // Writes one value into an open key: type 1 as text with its terminating zero,
    // type 4 as a 32-bit integer (RuntimeError 13 or 6 when the value is not one);
    // any other type writes nothing and reports 0.
    store::LSTATUS SetValueEx(store::HKEY key, const std::string& valueName, std::uint32_t type,
                              const RegValue& value);
    // Reads one value of an open key into `vValue`; on a failed size query `vValue`
    // stays as it was; a value of another type gives -1.
    store::LSTATUS QueryValueEx(store::HKEY lhKey, const std::string& szValueName,
                                RegValue& vValue);

    // Writes one value under an existing key of the hive; errors show the error box.
    void SetHiveKeyValue(store::HKEY hive, const std::string& keyPath, const std::string& valueName,
                         const RegValue& value, std::uint32_t type);
    // The same under the current user; the write's status is dropped.
    void SetUserKeyValue(const std::string& keyPath, const std::string& valueName,
                         const RegValue& value, std::uint32_t type);
    // One value under the local machine as text; "" when the key or value is missing
    // or the value has another type.
    std::string QueryMachineValue(const std::string& keyPath, const std::string& valueName);
    // The same steps under the current user.
    std::string QueryUserValue(const std::string& keyPath, const std::string& valueName);

    [[nodiscard]] store::IRegistry& Registry() noexcept { return registry_; }

private:
    std::string QueryHiveValue(store::HKEY hive, const std::string& keyPath,
                               const std::string& valueName);

    store::IRegistry& registry_;
    desktop::IMessageBox& messageBox_;
};

}  // namespace orvelle::shell
