#include "CipherControlSource.h"

namespace orvelle::filesecurity {

using os::RuntimeError;

bool CipherControlSource::Create() {
    if (control_) {
        return true;
    }
    try {
        control_ = factory_.CreateObject(kProgId);
    } catch (const RuntimeError& notRegistered) {
        const std::string library = registration_.InstalledLibrary(kProgId);
        if (!registration_.RegisterServer(library)) {
            failure_ = RuntimeError(
                notRegistered.Number(),
                notRegistered.Description() + "; registering " + library + " did not succeed");
            return false;
        }
        try {
            control_ = factory_.CreateObject(kProgId);
        } catch (const RuntimeError& stillMissing) {
            failure_ = stillMissing;
            return false;
        }
    }
    if (!control_) {
        failure_ =
            RuntimeError(429, std::string("ActiveX component can't create object: ") + kProgId);
        return false;
    }
    failure_.reset();
    return true;
}

os::ICipherControl& CipherControlSource::Control() {
    if (!Create()) {
        throw *failure_;
    }
    return *control_;
}

}  // namespace orvelle::filesecurity
