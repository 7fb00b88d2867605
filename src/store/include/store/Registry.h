#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvelle::store {

// Handles, hives, types and status codes carry the platform's own values so that
// the program's registry code reads the same on every backend.
using HKEY = std::uint32_t;
using LSTATUS = std::int32_t;

inline constexpr HKEY kNullKey = 0;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;

// Access masks the program opens keys with.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_SIX_SPECIFIC_RIGHTS = 0x3F;
inline constexpr std::uint32_t KEY_WRITE = 0x20006;
inline constexpr std::uint32_t KEY_READ = 0x20019;

inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
inline constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
inline constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
inline constexpr LSTATUS ERROR_CANTWRITE = 1013;
inline constexpr LSTATUS ERROR_BADDB = 1009;

// The platform's registry operations. Names and semantics follow the platform's
// API: every call returns a status, a failed open leaves the handle 0, and calls
// on handle 0 fail harmlessly.
class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Opens an existing key below an open key or hive; `result` is 0 on failure.
    virtual LSTATUS RegOpenKeyExA(HKEY key, const std::string& subKey, std::uint32_t samDesired,
                                  HKEY& result) = 0;
    // Creates every missing key of the path, or opens it when it exists.
    virtual LSTATUS RegCreateKeyExA(HKEY key, const std::string& subKey, std::uint32_t samDesired,
                                    HKEY& result) = 0;
    // With `data` null reports type and size; with a buffer fills it
    // (ERROR_MORE_DATA and the needed size when `*cbData` is too small).
    virtual LSTATUS RegQueryValueExA(HKEY key, const std::string& valueName, std::uint32_t* type,
                                     unsigned char* data, std::uint32_t* cbData) = 0;
    // Creates or replaces one value with exactly `cbData` bytes.
    virtual LSTATUS RegSetValueExA(HKEY key, const std::string& valueName, std::uint32_t type,
                                   const unsigned char* data, std::uint32_t cbData) = 0;
    // Removes one value; ERROR_FILE_NOT_FOUND when it is not there.
    virtual LSTATUS RegDeleteValueA(HKEY key, const std::string& valueName) = 0;
    // Removes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some).
    virtual LSTATUS RegDeleteKeyA(HKEY key, const std::string& subKey) = 0;
    // Removes a key with everything below it; an empty subKey empties `key` itself.
    virtual LSTATUS RegDeleteTreeA(HKEY key, const std::string& subKey) = 0;
    // Names the index-th subkey (ordered by name); ERROR_NO_MORE_ITEMS past the end.
    virtual LSTATUS RegEnumKeyExA(HKEY key, std::uint32_t index, std::string& name) = 0;
    // Names the index-th value (ordered by name) with its type and data.
    virtual LSTATUS RegEnumValueA(HKEY key, std::uint32_t index, std::string& name,
                                  std::uint32_t& type, std::vector<unsigned char>& data) = 0;
    // Closes a handle; closing handle 0 or a hive is harmless.
    virtual LSTATUS RegCloseKey(HKEY key) = 0;
};

// Closes a registry handle when it leaves scope.
class RegistryKey {
public:
    RegistryKey(IRegistry& registry, HKEY handle) : registry_(&registry), handle_(handle) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : registry_(other.registry_), handle_(other.handle_) {
        other.handle_ = kNullKey;
    }
    RegistryKey& operator=(RegistryKey&&) = delete;
    ~RegistryKey() {
        if (handle_ != kNullKey) {
            // Closing cannot fail in a way the caller could act on.
            static_cast<void>(registry_->RegCloseKey(handle_));
        }
    }
    [[nodiscard]] HKEY get() const noexcept { return handle_; }

private:
    IRegistry* registry_;
    HKEY handle_;
};

}  // namespace orvelle::store
