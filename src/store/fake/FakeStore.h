#pragma once

// Recording fakes of the stores, for unit tests.

#include "store/ProfileFile.h"
#include "store/Registry.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::store::fake {

// Profile file held in memory, with the profile API's case rules.
class FakeProfileFile final : public IProfileFile {
public:
    std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                           const std::string& defaultValue, std::string& text,
                                           std::uint32_t bufferSize) override;
    bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                    const std::optional<std::string>& value) override;

    std::map<std::pair<std::string, std::string>, std::string> entries;  // lower-case names
    int writes = 0;
    bool failWrites = false;
};

// Wraps a registry and fails the chosen calls, to test what callers do then.
class FailingRegistry final : public IRegistry {
public:
    explicit FailingRegistry(IRegistry& inner) : inner_(inner) {}

    // Calls numbered from 1; a call whose number is listed fails with `status`.
    std::vector<int> failingCalls;
    bool failAllWrites = false;
    LSTATUS status = ERROR_ACCESS_DENIED;
    int calls = 0;

    LSTATUS RegOpenKeyExA(HKEY key, const std::string& subKey, std::uint32_t sam,
                          HKEY& result) override;
    LSTATUS RegCreateKeyExA(HKEY key, const std::string& subKey, std::uint32_t sam,
                            HKEY& result) override;
    LSTATUS RegQueryValueExA(HKEY key, const std::string& name, std::uint32_t* type,
                             unsigned char* data, std::uint32_t* cbData) override;
    LSTATUS RegSetValueExA(HKEY key, const std::string& name, std::uint32_t type,
                           const unsigned char* data, std::uint32_t cbData) override;
    LSTATUS RegDeleteValueA(HKEY key, const std::string& name) override;
    LSTATUS RegDeleteKeyA(HKEY key, const std::string& subKey) override;
    LSTATUS RegDeleteTreeA(HKEY key, const std::string& subKey) override;
    LSTATUS RegEnumKeyExA(HKEY key, std::uint32_t index, std::string& name) override;
    LSTATUS RegEnumValueA(HKEY key, std::uint32_t index, std::string& name, std::uint32_t& type,
                          std::vector<unsigned char>& data) override;
    LSTATUS RegCloseKey(HKEY key) override;

private:
    bool Fails(bool write);
    IRegistry& inner_;
};

}  // namespace orvelle::store::fake
