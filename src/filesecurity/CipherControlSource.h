#pragma once

#include "os/ControlFactory.h"
#include "os/ControlRegistration.h"
#include "os/RuntimeError.h"

#include <memory>
#include <optional>
#include <string>

namespace orvelle::filesecurity {

// The page's cipher control `crpControl`, created by its identifier. When the
// identifier is not registered, the library installed with the program is
// registered and the creation tried again, the way the program repairs its file
// association. A control that still cannot be created is reported when a job needs
// it, not when the page loads.
class CipherControlSource {
public:
    static constexpr const char* kProgId = "Veilor64.Veilor";

    CipherControlSource(os::IControlFactory& factory, os::IControlRegistration& registration)
        : factory_(factory), registration_(registration) {}

    // Creates the control when there is none yet; false when it cannot be had (the
    // reason is kept for Control()).
    [[nodiscard]] bool Create();
    // The control, created first when needed; throws the creation's RuntimeError.
    [[nodiscard]] os::ICipherControl& Control();
    [[nodiscard]] bool IsCreated() const noexcept { return control_ != nullptr; }

private:
    os::IControlFactory& factory_;
    os::IControlRegistration& registration_;
    std::unique_ptr<os::ICipherControl> control_;
    std::optional<os::RuntimeError> failure_;
};

}  // namespace orvelle::filesecurity
