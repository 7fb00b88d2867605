#include "FakeStore.h"

#include "store/ProfileBuffer.h"

#include <algorithm>
#include <cctype>

namespace orvelle::store::fake {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::uint32_t FakeProfileFile::GetPrivateProfileStringA(const std::string& section,
                                                        const std::string& key,
                                                        const std::string& defaultValue,
                                                        std::string& text,
                                                        std::uint32_t bufferSize) {
    const auto found = entries.find({Lower(section), Lower(key)});
    return FitProfileBuffer(found == entries.end() ? defaultValue : found->second, bufferSize,
                            text);
}

bool FakeProfileFile::WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                                 const std::optional<std::string>& value) {
    ++writes;
    if (failWrites) {
        return false;
    }
    if (value) {
        entries[{Lower(section), Lower(key)}] = *value;
    } else {
        entries.erase({Lower(section), Lower(key)});
    }
    return true;
}

bool FailingRegistry::Fails(bool write) {
    ++calls;
    return (write && failAllWrites) ||
           std::find(failingCalls.begin(), failingCalls.end(), calls) != failingCalls.end();
}

LSTATUS FailingRegistry::RegOpenKeyExA(HKEY key, const std::string& subKey, std::uint32_t sam,
                                       HKEY& result) {
    if (Fails(false)) {
        result = kNullKey;
        return status;
    }
    return inner_.RegOpenKeyExA(key, subKey, sam, result);
}

LSTATUS FailingRegistry::RegCreateKeyExA(HKEY key, const std::string& subKey, std::uint32_t sam,
                                         HKEY& result) {
    if (Fails(true)) {
        result = kNullKey;
        return status;
    }
    return inner_.RegCreateKeyExA(key, subKey, sam, result);
}

LSTATUS FailingRegistry::RegQueryValueExA(HKEY key, const std::string& name, std::uint32_t* type,
                                          unsigned char* data, std::uint32_t* cbData) {
    return Fails(false) ? status : inner_.RegQueryValueExA(key, name, type, data, cbData);
}

LSTATUS FailingRegistry::RegSetValueExA(HKEY key, const std::string& name, std::uint32_t type,
                                        const unsigned char* data, std::uint32_t cbData) {
    return Fails(true) ? status : inner_.RegSetValueExA(key, name, type, data, cbData);
}

LSTATUS FailingRegistry::RegDeleteValueA(HKEY key, const std::string& name) {
    return Fails(true) ? status : inner_.RegDeleteValueA(key, name);
}

LSTATUS FailingRegistry::RegDeleteKeyA(HKEY key, const std::string& subKey) {
    return Fails(true) ? status : inner_.RegDeleteKeyA(key, subKey);
}

LSTATUS FailingRegistry::RegDeleteTreeA(HKEY key, const std::string& subKey) {
    return Fails(true) ? status : inner_.RegDeleteTreeA(key, subKey);
}

LSTATUS FailingRegistry::RegEnumKeyExA(HKEY key, std::uint32_t index, std::string& name) {
    return Fails(false) ? status : inner_.RegEnumKeyExA(key, index, name);
}

LSTATUS FailingRegistry::RegEnumValueA(HKEY key, std::uint32_t index, std::string& name,
                                       std::uint32_t& type, std::vector<unsigned char>& data) {
    return Fails(false) ? status : inner_.RegEnumValueA(key, index, name, type, data);
}

LSTATUS FailingRegistry::RegCloseKey(HKEY key) {
    // Closing never fails on purpose: a failed close would leak nothing worth testing.
    return inner_.RegCloseKey(key);
}

}  // namespace orvelle::store::fake
