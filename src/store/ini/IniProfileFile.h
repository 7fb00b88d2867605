#pragma once

#include "store/ProfileFile.h"

#include <string>

namespace orvelle::store {

// "WIN.INI" as a file of our own ($XDG_CONFIG_HOME/orvelle/win.ini by default),
// with the profile API's semantics: section and key names compare without regard
// to case, names and values are trimmed, a value in matching quotes loses them,
// and every write replaces the file atomically.
class IniProfileFile final : public IProfileFile {
public:
    explicit IniProfileFile(std::string path);

    static std::string DefaultPath();

    std::uint32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                           const std::string& defaultValue, std::string& text,
                                           std::uint32_t bufferSize) override;
    bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                    const std::optional<std::string>& value) override;

private:
    std::string path_;
};

}  // namespace orvelle::store
