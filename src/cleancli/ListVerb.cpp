#include "CleanSession.h"
#include "CleanVerbs.h"
#include "CleaningRun.h"
#include "CommandText.h"
#include "OptionTable.h"

#include <cstdio>

namespace orvelle::cleancli {
namespace {

using cleaning::CleaningOptions;
using nlohmann::json;

bool HasStep(int index) {
    return cleaning::OptionAt(index).step != cleaning::OptionStep::None;
}

std::string StateText(int value) {
    return value == 1 ? "checked" : value == 2 ? "grayed" : "unchecked";
}

json OptionList(Session& session) {
    json options = json::array();
    for (int index = 0; index < CleaningOptions::kCount; ++index) {
        const bool stored =
            session.Backends().settings.GetSetting(session.ProgramFolder(), "Settings",
                                                   "Index" + std::to_string(index), "3") != "3";
        const int value = session.Options().Value(index);
        options.push_back({{"index", index},
                           {"caption", CleaningOptions::kCaptions[static_cast<std::size_t>(index)]},
                           {"state", value},
                           {"stored", stored},
                           {"hasStep", HasStep(index)},
                           {"message", cleaning::CleaningRun::StepMessage(index)}});
    }
    return options;
}

void PrintOption(std::ostream& out, const json& option) {
    char number[8];
    std::snprintf(number, sizeof number, "%2d", option["index"].get<int>());
    out << number << "  ["
        << (option["state"] == 1   ? "x"
            : option["state"] == 2 ? "-"
                                   : " ")
        << "] " << option["caption"].get<std::string>() << "  ("
        << StateText(option["state"].get<int>())
        << (option["stored"].get<bool>() ? "" : ", default")
        << (option["hasStep"].get<bool>() ? "" : ", no step") << ")\n";
}

}  // namespace

int ListVerb::Act(Session& session) {
    const json options = OptionList(session);
    std::ostream& out = session.Output().out;
    if (Arguments().json) {
        json document{{"options", options}};
        SetText(document, "programFolder", session.ProgramFolder());
        out << Dump(document) << "\n";
        return session.ExitCode();
    }
    out << "Options of " << session.ProgramFolder() << ":\n";
    for (const json& option : options) {
        PrintOption(out, option);
    }
    return session.ExitCode();
}

}  // namespace orvelle::cleancli
