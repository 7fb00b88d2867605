#pragma once

// Recording fakes of the control factory and the cipher control, for unit tests
// of hosts: they remember every call and fail when told to.

#include "platform/ControlFactory.h"
#include "platform/RuntimeError.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvelle::platform::fake {

struct CipherCall {
    std::string method;  // "Encrypt" or "Decrypt"
    std::string passPhrase;
    std::string sourceFile;
    std::string destinationFile;
};

// What every control the factory creates shares, so a test can look after the
// host has taken ownership of the control.
struct FakeCipherLog {
    std::vector<CipherCall> calls;
    // When set, the next call throws it (and it is cleared).
    std::optional<RuntimeError> nextFailure;
    // Runs inside each call, as the control's work would (e.g. to pump events).
    std::function<void(const CipherCall&)> onCall;
    int destroyed = 0;
};

class FakeCipherControl final : public ICipherControl {
public:
    explicit FakeCipherControl(FakeCipherLog& log) : log_(log) {}
    ~FakeCipherControl() override { ++log_.destroyed; }
    void Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile) override {
        Record({"Encrypt", passPhrase, sourceFile, destinationFile});
    }
    void Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile) override {
        Record({"Decrypt", passPhrase, sourceFile, destinationFile});
    }

private:
    void Record(CipherCall call) {
        log_.calls.push_back(call);
        if (log_.onCall) {
            log_.onCall(call);
        }
        if (log_.nextFailure) {
            const RuntimeError failure = *log_.nextFailure;
            log_.nextFailure.reset();
            throw failure;
        }
    }
    FakeCipherLog& log_;
};

class FakeControlFactory final : public IControlFactory {
public:
    [[nodiscard]] std::unique_ptr<ICipherControl> CreateObject(const std::string& progId) override {
        requested.push_back(progId);
        if (!registered) {
            // The platform's own error for an identifier nobody registered.
            throw RuntimeError(429, "ActiveX component can't create object");
        }
        return std::make_unique<FakeCipherControl>(log);
    }

    bool registered = true;
    std::vector<std::string> requested;
    FakeCipherLog log;
};

}  // namespace orvelle::platform::fake
