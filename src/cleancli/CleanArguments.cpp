#include "CleanArguments.h"

#include <charconv>

namespace orvelle::cleancli {
namespace {

bool ParseOnly(const std::string& text, std::set<int>& options, std::string& error) {
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string part =
            text.substr(start, comma == std::string::npos ? comma : comma - start);
        int value = -1;
        const auto [end, code] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || code != std::errc() || end != part.data() + part.size() || value < 0 ||
            value > 15) {
            error = "--only takes option numbers from 0 to 15 separated by commas, not \"" + text +
                    "\"";
            return false;
        }
        options.insert(value);
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

// The arguments that take no value: each sets the mode, or a flag.
struct Switch {
    const char* name;
    std::optional<CleanMode> mode;
    bool CleanArguments::*flag;
};

const Switch kSwitches[] = {
    {"--list", CleanMode::List, nullptr},
    {"--preview", CleanMode::Preview, nullptr},
    {"--run", CleanMode::Run, nullptr},
    {"--help", CleanMode::Help, nullptr},
    {"-h", CleanMode::Help, nullptr},
    {"--json", std::nullopt, &CleanArguments::json},
    {"--no-wait", std::nullopt, &CleanArguments::noWait},
};

// One pass over the command line; each step false with `error` set when it refuses.
class Parser {
public:
    Parser(const std::vector<std::string>& arguments, CleanArguments& parsed, std::string& error)
        : arguments_(arguments), parsed_(parsed), error_(error) {}

    bool Parse() {
        parsed_ = CleanArguments{};
        for (next_ = 0; next_ < arguments_.size();) {
            if (!One(arguments_[next_++])) {
                return false;
            }
        }
        return Together();
    }

private:
    bool One(const std::string& argument) {
        // "--only=2,3" and "--only 2,3" alike.
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        if (!value) {
            for (const Switch& option : kSwitches) {
                if (name == option.name) {
                    return Set(option);
                }
            }
        }
        if (name == "--only") {
            const auto list = TakeValue(name, value);
            return list && Only(*list);
        }
        if (name == "--program-folder") {
            const auto folder = TakeValue(name, value);
            return folder && ProgramFolder(*folder);
        }
        error_ = "unknown argument \"" + argument + "\"";
        return false;
    }

    bool Set(const Switch& option) {
        if (option.flag != nullptr) {
            parsed_.*option.flag = true;
            return true;
        }
        if (modeGiven_) {
            error_ = "only one of --list, --preview, --run and --help may be given (" +
                     std::string(option.name) + ")";
            return false;
        }
        parsed_.mode = *option.mode;
        modeGiven_ = true;
        return true;
    }

    std::optional<std::string> TakeValue(const std::string& name,
                                         const std::optional<std::string>& value) {
        if (value) {
            return value;
        }
        if (next_ < arguments_.size()) {
            return arguments_[next_++];
        }
        error_ = name + " needs a value";
        return std::nullopt;
    }

    bool Only(const std::string& list) {
        if (parsed_.only) {
            error_ = "--only may be given once";
            return false;
        }
        parsed_.only.emplace();
        return ParseOnly(list, *parsed_.only, error_);
    }

    bool ProgramFolder(const std::string& folder) {
        if (folder.empty() || folder[0] != '/') {
            error_ = "--program-folder takes a full path, not \"" + folder + "\"";
            return false;
        }
        parsed_.programFolder = folder;
        return true;
    }

    // What goes with what.
    bool Together() {
        const CleanMode mode = parsed_.mode;
        if (!modeGiven_) {
            error_ = "say what to do: --list, --preview or --run";
        } else if (parsed_.json && mode != CleanMode::List && mode != CleanMode::Preview) {
            error_ = "--json goes with --list or --preview";
        } else if (parsed_.only && mode != CleanMode::Preview && mode != CleanMode::Run) {
            error_ = "--only goes with --preview or --run";
        } else if (parsed_.noWait && mode != CleanMode::Run) {
            error_ = "--no-wait goes with --run";
        } else {
            return true;
        }
        return false;
    }

    const std::vector<std::string>& arguments_;
    CleanArguments& parsed_;
    std::string& error_;
    std::size_t next_ = 0;
    bool modeGiven_ = false;
};

}  // namespace

bool ParseCleanArguments(const std::vector<std::string>& arguments, CleanArguments& parsed,
                         std::string& error) {
    return Parser(arguments, parsed, error).Parse();
}

std::string UsageText() {
    return R"(Usage: orvelle-clean --list [--json]
       orvelle-clean --preview [--only N,N,...] [--json]
       orvelle-clean --run [--only N,N,...] [--no-wait]

Orvelle's cleaning from a terminal or a timer, with the options the program uses.

  --list            the sixteen options: number, caption, state stored for you
  --preview         everything the checked options would erase, with sizes;
                    changes nothing
  --run             the same clean as "Clean Computer and Internet"
  --only N,N,...    exactly these options (0 to 15), checked or not
  --json            --list or --preview as one JSON document
  --no-wait         --run: end with exit code 3 instead of waiting while
                    another clean (the program's or another orvelle-clean) runs
  --program-folder DIR
                    the program folder whose options to use (default: the
                    folder that holds orvelle-clean)

Exit codes: 0 done, 1 a step logged an error, 2 bad arguments,
3 another clean is running (--no-wait).
)";
}

}  // namespace orvelle::cleancli
