#pragma once

#include "os/ControlFactory.h"
#include "os/ControlRegistration.h"
#include "os/RuntimeError.h"
#include "veilor64/VeilorControlFactory.h"

#include <string>

namespace orvelle::wiring {

// The cipher control as the program gets it: by identifier through the registry
// store, from the library that registered it; and the library installed beside the
// program, which registers itself when asked.
class VeilorControls final : public os::IControlFactory, public os::IControlRegistration {
public:
    VeilorControls(store::IRegistry& registry, std::string programFolder)
        : factory_(registry), programFolder_(std::move(programFolder)) {}

    [[nodiscard]] std::unique_ptr<os::ICipherControl> CreateObject(
        const std::string& progId) override {
        return factory_.CreateObject(progId);
    }

    [[nodiscard]] std::string InstalledLibrary(const std::string& /*progId*/) const override {
        return programFolder_ + "/libveilor64.so";
    }

    [[nodiscard]] bool RegisterServer(const std::string& libraryPath) override {
        try {
            veilor64::RegisterServer(libraryPath);
            // Registered means creatable: the identifier now leads to a working library.
            return factory_.CreateObject("Veilor64.Veilor") != nullptr;
        } catch (const os::RuntimeError&) {
            return false;  // the caller reports the creation failure it started from
        }
    }

private:
    veilor64::VeilorControlFactory factory_;
    std::string programFolder_;
};

}  // namespace orvelle::wiring
