#include "CleanPreview.h"
#include "CleanSession.h"
#include "CleanVerbs.h"
#include "CleaningRun.h"
#include "CleaningTraces.h"
#include "CommandText.h"
#include "os/TextLines.h"

namespace orvelle::cleancli {
namespace {

using cleaning::CleaningOptions;
using nlohmann::json;

std::vector<OptionPreview> FindPreviews(Session& session) {
    wiring::CleaningBackends& backends = session.Backends();
    const CommandOutput& output = session.Output();
    bool progressShown = false;
    PreviewSources sources{backends.traceCatalog,
                           backends.registry,
                           backends.shellFolders,
                           backends.tempPath,
                           backends.recycleBin.TrashFolders(),
                           {}};
    if (output.errIsTerminal) {
        sources.progress = [&](const std::string& folder, std::uint64_t files) {
            output.err << "\r\033[KScanning " << folder << ": " << files << " files" << std::flush;
            progressShown = true;
        };
    }
    std::vector<OptionPreview> previews = BuildPreview(session.Selected(), sources);
    if (progressShown) {
        output.err << "\r\033[K" << std::flush;
    }
    return previews;
}

json ItemsJson(const OptionPreview& preview) {
    json items = json::array();
    for (const PreviewItem& item : preview.items) {
        json entry{{"kind", item.kind},      {"what", item.what}, {"bytes", item.bytes},
                   {"files", item.files},    {"kept", item.kept}, {"rows", item.rows},
                   {"browser", item.browser}};
        SetText(entry, "path", item.path);
        SetText(entry, "profile", item.profile);
        items.push_back(std::move(entry));
    }
    return items;
}

json SkippedJson(const OptionPreview& preview) {
    json skipped = json::array();
    for (const traces::SkippedProfile& profile : preview.skipped) {
        json entry{{"browser", profile.browser}};
        SetText(entry, "profile", profile.profile);
        SetText(entry, "folder", profile.profileFolder);
        SetText(entry, "reason", profile.reason);
        SetText(entry, "text", cleaning::CleaningTraces::SkippedText(profile));
        skipped.push_back(std::move(entry));
    }
    return skipped;
}

json OptionJson(const OptionPreview& preview) {
    return {{"index", preview.index},
            {"caption", CleaningOptions::kCaptions[static_cast<std::size_t>(preview.index)]},
            {"message", cleaning::CleaningRun::StepMessage(preview.index)},
            {"items", ItemsJson(preview)},
            {"skipped", SkippedJson(preview)},
            {"notes", preview.notes},
            {"bytes", preview.Bytes()}};
}

// The item's details in brackets: browser and profile, rows, files, files that stay.
std::string ItemDetail(const json& item) {
    std::string detail = item["what"].get<std::string>();
    const auto add = [&](const std::string& text) {
        detail += (detail.empty() ? "" : "; ") + text;
    };
    if (!item["browser"].get<std::string>().empty()) {
        add(item["browser"].get<std::string>() + " \"" +
            os::EscapeControls(item["profile"].get<std::string>()) + "\"");
    }
    if (item["rows"].get<std::uint64_t>() > 0) {
        add(std::to_string(item["rows"].get<std::uint64_t>()) + " rows");
    }
    if (item["files"].get<std::uint64_t>() > 0) {
        add(std::to_string(item["files"].get<std::uint64_t>()) + " files");
    }
    if (item["kept"].get<std::uint64_t>() > 0) {
        add(std::to_string(item["kept"].get<std::uint64_t>()) +
            " files stay (open in a program, or kept by the rule)");
    }
    return detail.empty() ? "" : "  (" + detail + ")";
}

void PrintOption(std::ostream& out, const json& option) {
    out << option["index"].get<int>() << "  " << option["caption"].get<std::string>() << "\n";
    for (const json& item : option["items"]) {
        out << "    " << item["kind"].get<std::string>() << "  "
            << SizeText(item["bytes"].get<std::uint64_t>()) << "  "
            << os::EscapeControls(item["path"].get<std::string>()) << ItemDetail(item) << "\n";
    }
    for (const json& profile : option["skipped"]) {
        out << "    skipped: " << os::EscapeControls(profile["text"].get<std::string>()) << "\n";
    }
    for (const json& note : option["notes"]) {
        out << "    would fail: " << os::EscapeControls(note.get<std::string>()) << "\n";
    }
    out << "    total " << SizeText(option["bytes"].get<std::uint64_t>()) << " in "
        << option["items"].size() << " items\n";
}

}  // namespace

int PreviewVerb::Act(Session& session) {
    const std::vector<OptionPreview> previews = FindPreviews(session);
    json options = json::array();
    std::uint64_t total = 0;
    std::size_t count = 0;
    for (const OptionPreview& preview : previews) {
        total += preview.Bytes();
        count += preview.items.size();
        options.push_back(OptionJson(preview));
    }
    std::ostream& out = session.Output().out;
    if (Arguments().json) {
        json document{{"options", options}, {"items", count}, {"bytes", total}};
        SetText(document, "programFolder", session.ProgramFolder());
        out << Dump(document) << "\n";
        return session.ExitCode();
    }
    for (const json& option : options) {
        PrintOption(out, option);
    }
    out << "Total: " << SizeText(total) << " in " << count << " items of " << previews.size()
        << " options. Nothing was changed.\n";
    return session.ExitCode();
}

}  // namespace orvelle::cleancli
