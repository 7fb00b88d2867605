#pragma once

// The host's side of the Veilor64 library, for C++ hosts: finds the library
// through the registry store, loads it and offers its Veilor as an
// ICipherControl. Standard C++ only; no Qt.

#include "os/ControlFactory.h"
#include "store/Registry.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvelle::veilor64 {

// The platform's error when an identifier is not registered or its class
// cannot be created ("ActiveX component can't create object").
inline constexpr std::int32_t kCannotCreateObject = 429;
// The platform's error when a registered library cannot be loaded or is not a
// usable Veilor64 ("Error in loading DLL").
inline constexpr std::int32_t kErrorInLoadingDll = 48;

// Creates controls by their programmatic identifier as the platform does:
// HKEY_CLASSES_ROOT\<progId>\CLSID gives the class, CLSID\<class>\InprocServer32
// the library, whose DllGetClassObject gives the factory. A library stays
// loaded for the rest of the process once loaded (Qt keeps pointers into it).
class VeilorControlFactory final : public os::IControlFactory {
public:
    explicit VeilorControlFactory(store::IRegistry& registry) : registry_(registry) {}

    // Throws RuntimeError kCannotCreateObject when the identifier, its class or
    // its library path is not registered, kErrorInLoadingDll when the library
    // cannot be loaded or lacks the interface.
    [[nodiscard]] std::unique_ptr<os::ICipherControl> CreateObject(
        const std::string& progId) override;

private:
    store::IRegistry& registry_;
};

// Loads the library at `libraryPath` and has it register itself (what the
// platform's regsvr32 does) or remove its registration. Throws RuntimeError
// kErrorInLoadingDll when it cannot be loaded, kCannotCreateObject when the
// library reports a failure.
void RegisterServer(const std::string& libraryPath);
void UnregisterServer(const std::string& libraryPath);

}  // namespace orvelle::veilor64
