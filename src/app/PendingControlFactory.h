#pragma once

#include "platform/ControlFactory.h"
#include "platform/ControlRegistration.h"
#include "platform/RuntimeError.h"

namespace orvelle::app {

// Stands in for the cipher library's loader until the library is linked into this
// build: every creation fails with a clear description, which the File Security page
// shows when a job starts. Replaced by the posix backend that finds "Veilor64.Veilor"
// in the registry store and loads its library.
class PendingControlFactory final : public platform::IControlFactory,
                                    public platform::IControlRegistration {
public:
    explicit PendingControlFactory(std::string programFolder)
        : programFolder_(std::move(programFolder)) {}

    [[nodiscard]] std::unique_ptr<platform::ICipherControl> CreateObject(
        const std::string& progId) override {
        throw platform::RuntimeError(
            429, "ActiveX component can't create object: " + progId +
                     " is not available in this build of the program");
    }
    [[nodiscard]] std::string InstalledLibrary(const std::string& /*progId*/) const override {
        return programFolder_ + "/libveilor64.so";
    }
    [[nodiscard]] bool RegisterServer(const std::string& /*libraryPath*/) override {
        return false;
    }

private:
    std::string programFolder_;
};

}  // namespace orvelle::app
