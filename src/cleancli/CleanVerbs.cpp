#include "CleanVerbs.h"

#include "CleanSession.h"
#include "RegistryStoreCheck.h"
#include "XdgPaths.h"

namespace orvelle::cleancli {
namespace {

// Options read from anywhere but the user's own store are guesses: nothing is
// listed, previewed or cleaned on them. False, said on standard error, when the
// store is there but damaged or unreadable.
bool StoreReadable(const CommandOutput& output) {
    const std::string storePath = os::posix::XdgPaths::ConfigHome() + "/orvelle/registry.db";
    const auto store = store::InspectRegistryStore(storePath);
    if (store.state == store::RegistryStoreState::Damaged) {
        output.err << kCommandName << ": the registry store " << storePath << " is damaged ("
                   << store.reason
                   << "): nothing was done. Start Orvelle: it moves the store aside and "
                      "shows the options.\n";
        return false;
    }
    if (store.state == store::RegistryStoreState::Unusable) {
        output.err << kCommandName << ": the registry store " << storePath
                   << " cannot be read as it is (" << store.reason
                   << "): nothing was done, and the store was left as it is.\n";
        return false;
    }
    return true;
}

}  // namespace

int HelpVerb::Run(const CommandOutput& output) {
    output.out << UsageText();
    return 0;
}

int StoreVerb::Run(const CommandOutput& output) {
    if (!StoreReadable(output)) {
        return 1;
    }
    Session session(arguments_, Cleans(), output);
    if (!session.StoreOpen()) {
        output.err << kCommandName << ": cannot open the registry store " << session.StorePathText()
                   << " (" << session.StoreError() << "): nothing was done.\n";
        return 1;
    }
    if (Cleans() && session.OptionsUnconfirmed()) {
        output.err << kCommandName
                   << ": the cleaning options were set back to their defaults when a damaged "
                      "registry store was replaced, and no one has looked at them since: "
                      "nothing was cleaned. Start Orvelle to see them.\n";
        return 1;
    }
    return Act(session);
}

std::unique_ptr<CleanVerb> MakeVerb(const CleanArguments& arguments) {
    switch (arguments.mode) {
    case CleanMode::List:
        return std::make_unique<ListVerb>(arguments);
    case CleanMode::Preview:
        return std::make_unique<PreviewVerb>(arguments);
    case CleanMode::Run:
        return std::make_unique<RunVerb>(arguments);
    case CleanMode::Help:
        break;
    }
    return std::make_unique<HelpVerb>();
}

}  // namespace orvelle::cleancli
