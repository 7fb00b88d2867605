#pragma once

#include "CleanArguments.h"
#include "CleanCommand.h"

#include <memory>

namespace orvelle::cleancli {

class Session;

// One verb of orvelle-clean (--help, --list, --preview, --run): what it does with
// the command's output; returns the exit code.
class CleanVerb {
public:
    CleanVerb() = default;
    CleanVerb(const CleanVerb&) = delete;
    CleanVerb& operator=(const CleanVerb&) = delete;
    virtual ~CleanVerb() = default;

    [[nodiscard]] virtual int Run(const CommandOutput& output) = 0;
};

// --help: the usage text.
class HelpVerb final : public CleanVerb {
public:
    [[nodiscard]] int Run(const CommandOutput& output) override;
};

// A verb over the user's options: the store is checked, the options loaded as the
// main window loads them, and only then the verb's own work done (Act).
class StoreVerb : public CleanVerb {
public:
    explicit StoreVerb(CleanArguments arguments) : arguments_(std::move(arguments)) {}
    [[nodiscard]] int Run(const CommandOutput& output) final;

protected:
    [[nodiscard]] const CleanArguments& Arguments() const { return arguments_; }
    // Whether the verb cleans: it may then create the store, and refuses options the
    // user has not confirmed.
    [[nodiscard]] virtual bool Cleans() const { return false; }
    [[nodiscard]] virtual int Act(Session& session) = 0;

private:
    CleanArguments arguments_;
};

// --list: every option with its state, stored or default.
class ListVerb final : public StoreVerb {
public:
    using StoreVerb::StoreVerb;

protected:
    [[nodiscard]] int Act(Session& session) override;
};

// --preview: what a clean of the checked options would erase, changing nothing.
class PreviewVerb final : public StoreVerb {
public:
    using StoreVerb::StoreVerb;

protected:
    [[nodiscard]] int Act(Session& session) override;
};

// --run: the clean itself, one at a time with the program's.
class RunVerb final : public StoreVerb {
public:
    using StoreVerb::StoreVerb;

protected:
    [[nodiscard]] bool Cleans() const override { return true; }
    [[nodiscard]] int Act(Session& session) override;
};

// The verb the arguments ask for.
[[nodiscard]] std::unique_ptr<CleanVerb> MakeVerb(const CleanArguments& arguments);

// The command's name, as its messages begin.
inline constexpr const char* kCommandName = "orvelle-clean";

}  // namespace orvelle::cleancli
