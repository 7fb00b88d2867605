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

}  // namespace

bool ParseCleanArguments(const std::vector<std::string>& arguments, CleanArguments& parsed,
                         std::string& error) {
    parsed = CleanArguments{};
    bool modeGiven = false;
    const auto setMode = [&](CleanMode mode, const std::string& name) {
        if (modeGiven) {
            error = "only one of --list, --preview, --run and --help may be given (" + name + ")";
            return false;
        }
        parsed.mode = mode;
        modeGiven = true;
        return true;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // "--only=2,3" and "--only 2,3" alike.
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const auto takeValue = [&]() -> std::optional<std::string> {
            if (value) {
                return value;
            }
            if (i + 1 < arguments.size()) {
                return arguments[++i];
            }
            error = name + " needs a value";
            return std::nullopt;
        };
        if (name == "--list" && !value) {
            if (!setMode(CleanMode::List, name))
                return false;
        } else if (name == "--preview" && !value) {
            if (!setMode(CleanMode::Preview, name))
                return false;
        } else if (name == "--run" && !value) {
            if (!setMode(CleanMode::Run, name))
                return false;
        } else if ((name == "--help" || name == "-h") && !value) {
            if (!setMode(CleanMode::Help, name))
                return false;
        } else if (name == "--json" && !value) {
            parsed.json = true;
        } else if (name == "--no-wait" && !value) {
            parsed.noWait = true;
        } else if (name == "--only") {
            const auto list = takeValue();
            if (!list)
                return false;
            if (parsed.only) {
                error = "--only may be given once";
                return false;
            }
            parsed.only.emplace();
            if (!ParseOnly(*list, *parsed.only, error))
                return false;
        } else if (name == "--program-folder") {
            const auto folder = takeValue();
            if (!folder)
                return false;
            if (folder->empty() || (*folder)[0] != '/') {
                error = "--program-folder takes a full path, not \"" + *folder + "\"";
                return false;
            }
            parsed.programFolder = *folder;
        } else {
            error = "unknown argument \"" + argument + "\"";
            return false;
        }
    }
    if (!modeGiven) {
        error = "say what to do: --list, --preview or --run";
        return false;
    }
    if (parsed.json && parsed.mode != CleanMode::List && parsed.mode != CleanMode::Preview) {
        error = "--json goes with --list or --preview";
        return false;
    }
    if (parsed.only && parsed.mode != CleanMode::Preview && parsed.mode != CleanMode::Run) {
        error = "--only goes with --preview or --run";
        return false;
    }
    if (parsed.noWait && parsed.mode != CleanMode::Run) {
        error = "--no-wait goes with --run";
        return false;
    }
    return true;
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
