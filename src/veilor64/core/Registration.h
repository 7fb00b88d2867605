#pragma once

#include "store/Registry.h"

#include <string>

namespace orvelle::veilor64 {

// The class's entries in the registry store's classes root, in the manner of
// the platform's in-process servers: programmatic identifier -> class
// identifier -> library path, plus the type library's description.
class Registration {
public:
    static constexpr const char* kProgId = "Veilor64.Veilor";
    static constexpr const char* kDescription = "Veilor64 file cipher control";

    // Records the class with `libraryPath` as its server. ERROR_SUCCESS or the
    // first failing status; a failure leaves nothing half recorded.
    [[nodiscard]] static store::LSTATUS Register(store::IRegistry& registry,
                                                 const std::string& libraryPath);
    // Removes the three keys Register creates and everything below them.
    // ERROR_SUCCESS also when they were not there.
    [[nodiscard]] static store::LSTATUS Unregister(store::IRegistry& registry);
};

}  // namespace orvelle::veilor64
