#pragma once

#include "CleanArguments.h"
#include "CleanCommand.h"
#include "CleaningBackends.h"
#include "CleaningOptions.h"
#include "CommandServices.h"
#include "RegistryLayer.h"

#include <set>
#include <string>

namespace orvelle::cleancli {

// The program's stores and options for this user, as the main window loads them,
// over the same backends the program builds.
class Session {
public:
    // Listing and previewing never create the registry store: without one they
    // read as a new user's (every option at its default).
    Session(const CleanArguments& arguments, bool mayCreateStore, const CommandOutput& output);

    [[nodiscard]] bool StoreOpen() const { return backends_.registry.IsOpen(); }
    [[nodiscard]] std::string StoreError() const { return backends_.registry.LastError(); }
    [[nodiscard]] bool OptionsUnconfirmed() { return backends_.registry.OptionsUnconfirmed(); }
    [[nodiscard]] std::string StorePathText() const { return backends_.registry.Path(); }

    // The options checked now (1), by index.
    [[nodiscard]] std::set<int> Selected() const;

    [[nodiscard]] const CommandOutput& Output() const { return output_; }
    [[nodiscard]] const std::string& ProgramFolder() const { return programFolder_; }
    [[nodiscard]] wiring::CleaningBackends& Backends() { return backends_; }
    [[nodiscard]] desktop::IMessageBox& MessageBox() { return messageBox_; }
    [[nodiscard]] shell::RegistryLayer& Layer() { return layer_; }
    [[nodiscard]] cleaning::CleaningOptions& Options() { return options_; }

    // A red entry or an error box: on standard output with the log, and on standard error.
    void Red(const std::string& raw);
    [[nodiscard]] int Problems() const { return errors_; }
    // 1 once anything was red, else 0.
    [[nodiscard]] int ExitCode() const { return errors_ > 0 ? 1 : 0; }

private:
    CommandOutput output_;
    wiring::CleaningBackends backends_;
    std::string programFolder_;
    LineMessageBox messageBox_;
    shell::RegistryLayer layer_;
    cleaning::CleaningOptions options_;
    int errors_ = 0;
};

}  // namespace orvelle::cleancli
