#pragma once

#include <functional>
#include <memory>
#include <string>

namespace orvelle::os {

// The cipher control as a host sees it: two methods, three texts each. A failure
// throws RuntimeError with the control's number and description.
class ICipherControl {
public:
    virtual ~ICipherControl() = default;

    virtual void Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                         const std::string& destinationFile) = 0;
    virtual void Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                         const std::string& destinationFile) = 0;
    // Told the percentage (0 … 100) at every progress point of the operations, on the
    // caller's thread; an empty function stops it. A control without progress ignores it.
    // By value: the controls that report progress keep the handler (a sink).
    // NOLINTNEXTLINE(performance-unnecessary-value-param)
    virtual void SetProgressHandler(std::function<void(int percent)> handler) {
        static_cast<void>(handler);
    }
};

// Creates controls by their programmatic identifier ("Veilor64.Veilor").
class IControlFactory {
public:
    virtual ~IControlFactory() = default;

    // The control, or a RuntimeError when the identifier is not registered (429
    // "ActiveX component can't create object") or its library cannot be loaded
    // (48 "Error in loading DLL").
    [[nodiscard]] virtual std::unique_ptr<ICipherControl> CreateObject(
        const std::string& progId) = 0;
};

}  // namespace orvelle::os
