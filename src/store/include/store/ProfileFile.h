#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvelle::store {

// The legacy profile file "WIN.INI" with the profile API's semantics.
class IProfileFile {
public:
    virtual ~IProfileFile() = default;

    // Reads an entry into a buffer of `bufferSize` characters: `text` receives at most
    // bufferSize - 1 characters and the result is the number copied. Section and key
    // compare without regard to case; a missing file, section or key gives `defaultValue`.
    virtual std::uint32_t GetPrivateProfileStringA(const std::string& section,
                                                   const std::string& key,
                                                   const std::string& defaultValue,
                                                   std::string& text, std::uint32_t bufferSize) = 0;
    // Writes an entry (nullopt value deletes it); false when the file cannot be written.
    virtual bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                            const std::optional<std::string>& value) = 0;
};

}  // namespace orvelle::store
