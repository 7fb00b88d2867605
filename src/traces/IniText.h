#pragma once

#include <string>
#include <vector>

namespace orvelle::traces {

// The sections and "key=value" lines of an INI text as browsers and KDE write
// them; read only. Names compare exactly; the first of a repeated key counts.
class IniText {
public:
    explicit IniText(const std::string& text);

    [[nodiscard]] const std::vector<std::string>& Sections() const noexcept { return sections_; }
    // The value of `key` in `section` ("" when missing), spaces around it trimmed.
    [[nodiscard]] std::string Value(const std::string& section, const std::string& key) const;

private:
    struct Line {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<std::string> sections_;
    std::vector<Line> lines_;
};

// `text` without the "key=…" lines of `keys` in the sections `sections`; every
// other line kept as it is. `removed` counts the lines dropped.
[[nodiscard]] std::string WithoutKeys(const std::string& text,
                                      const std::vector<std::string>& sections,
                                      const std::vector<std::string>& keys, int& removed);

}  // namespace orvelle::traces
