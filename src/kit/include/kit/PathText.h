#pragma once

#include <string>

namespace orvelle::kit {

// Drops the separators at the end of a path, keeping "/" itself.
inline void TrimTrailingSeparators(std::string& path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
}

[[nodiscard]] inline std::string WithoutTrailingSeparators(std::string path) {
    TrimTrailingSeparators(path);
    return path;
}

}  // namespace orvelle::kit
