#include "CleanCommand.h"

#include "OptionTable.h"

#include "BrowserSettings.h"
#include "CleanArguments.h"
#include "CleanPreview.h"
#include "CleaningLog.h"
#include "CleaningOptions.h"
#include "CleaningRun.h"
#include "CleaningSteps.h"
#include "CleaningTraces.h"
#include "CommandServices.h"
#include "FlockCleaningLock.h"
#include "FolderErasers.h"
#include "FreedesktopTrash.h"
#include "HistoryErasers.h"
#include "LinuxTraceCatalog.h"
#include "PosixFolderTree.h"
#include "PosixProcessInfo.h"
#include "PosixShellFolders.h"
#include "PosixTempPath.h"
#include "RegistryLayer.h"
#include "RegistrySettingsStore.h"
#include "RegistryStoreCheck.h"
#include "SqliteRegistry.h"
#include "SystemClock.h"
#include "XcbClipboard.h"
#include "XdgPaths.h"
#include "os/TextLines.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>

namespace orvelle::cleancli {
namespace {

using cleaning::CleaningOptions;
using cleaning::LogColour;
using nlohmann::json;

constexpr const char* kName = "orvelle-clean";

bool HasStep(int index) {
    return cleaning::OptionAt(index).step != cleaning::OptionStep::None;
}

std::string StateText(int value) {
    return value == 1 ? "checked" : value == 2 ? "grayed" : "unchecked";
}

// The JSON documents carry names as the disk has them, which need not be UTF-8: such
// a text is written with each invalid byte as U+FFFD, and beside it "<field>Bytes"
// holds the exact bytes, each byte b as the character U+00b ("latin-1"), so that a
// reader gets them back by encoding that text as ISO 8859-1.
bool ValidUtf8(const std::string& text) {
    try {
        static_cast<void>(json(text).dump());
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

std::string ByteCharacters(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xc0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3f));
        }
    }
    return text;
}

void SetText(json& object, const std::string& field, const std::string& value) {
    object[field] = value;
    if (!ValidUtf8(value)) {
        object[field + "Bytes"] = ByteCharacters(value);
    }
}

std::string Dump(const json& document) {
    return document.dump(2, ' ', false, json::error_handler_t::replace);
}

std::string Coloured(const std::string& text, LogColour colour, bool terminal) {
    if (!terminal) {
        return text;
    }
    const char* code = colour == cleaning::kLogRed     ? "\033[31m"
                       : colour == cleaning::kLogGreen ? "\033[32m"
                       : colour == cleaning::kLogBlue  ? "\033[34m"
                                                       : "\033[1m";
    return code + text + "\033[0m";
}

// The program's stores and options for this user, as the main window loads them.
class Session {
public:
    // Listing and previewing never create the registry store: without one they
    // read as a new user's (every option at its default).
    Session(const CleanArguments& arguments, bool mayCreateStore, CommandOutput output)
        : output_(output),
          programFolder_(arguments.programFolder.empty()
                             ? os::posix::PosixProcessInfo().ProgramFolder()
                             : arguments.programFolder),
          registry_(StorePath(mayCreateStore)),
          settings_(registry_),
          messageBox_([this](const std::string& text) { Red(text); }),
          layer_(registry_, messageBox_),
          options_(settings_, messageBox_, layer_, programFolder_, catalog_) {
        if (!registry_.IsOpen()) {
            return;
        }
        options_.cmdDefaultSettings_Click();  // bSettingsReady is false: nothing is stored
        options_.LoadCleaningOptions();
        if (arguments.only) {
            for (int index = 0; index < CleaningOptions::kCount; ++index) {
                static_cast<void>(options_.SetValue(index, arguments.only->count(index) ? 1 : 0));
            }
        }
    }

    [[nodiscard]] bool StoreOpen() const { return registry_.IsOpen(); }
    [[nodiscard]] std::string StoreError() const { return registry_.LastError(); }
    [[nodiscard]] bool OptionsUnconfirmed() { return registry_.OptionsUnconfirmed(); }
    [[nodiscard]] std::string StorePathText() const { return registry_.Path(); }

    [[nodiscard]] std::set<int> Selected() const {
        std::set<int> selected;
        for (int index = 0; index < CleaningOptions::kCount; ++index) {
            if (options_.Value(index) == 1) {
                selected.insert(index);
            }
        }
        return selected;
    }

    int List(bool asJson) {
        json options = json::array();
        for (int index = 0; index < CleaningOptions::kCount; ++index) {
            const bool stored = settings_.GetSetting(programFolder_, "Settings",
                                                     "Index" + std::to_string(index), "3") != "3";
            const int value = options_.Value(index);
            options.push_back(
                {{"index", index},
                 {"caption", CleaningOptions::kCaptions[static_cast<std::size_t>(index)]},
                 {"state", value},
                 {"stored", stored},
                 {"hasStep", HasStep(index)},
                 {"message", cleaning::CleaningRun::StepMessage(index)}});
        }
        if (asJson) {
            json document{{"options", options}};
            SetText(document, "programFolder", programFolder_);
            output_.out << Dump(document) << "\n";
            return errors_ > 0 ? 1 : 0;
        }
        output_.out << "Options of " << programFolder_ << ":\n";
        for (const json& option : options) {
            char number[8];
            std::snprintf(number, sizeof number, "%2d", option["index"].get<int>());
            output_.out << number << "  ["
                        << (option["state"] == 1   ? "x"
                            : option["state"] == 2 ? "-"
                                                   : " ")
                        << "] " << option["caption"].get<std::string>() << "  ("
                        << StateText(option["state"].get<int>())
                        << (option["stored"].get<bool>() ? "" : ", default")
                        << (option["hasStep"].get<bool>() ? "" : ", no step") << ")\n";
        }
        return errors_ > 0 ? 1 : 0;
    }

    int Preview(bool asJson) {
        os::posix::PosixShellFolders shellFolders(registry_);
        os::posix::PosixTempPath tempPath;
        os::posix::FreedesktopTrash trash;
        bool progressShown = false;
        PreviewSources sources{catalog_, registry_, shellFolders, tempPath, trash.TrashFolders(),
                               {}};
        if (output_.errIsTerminal) {
            sources.progress = [&](const std::string& folder, std::uint64_t files) {
                output_.err << "\r\033[KScanning " << folder << ": " << files << " files"
                            << std::flush;
                progressShown = true;
            };
        }
        const std::vector<OptionPreview> previews = BuildPreview(Selected(), sources);
        if (progressShown) {
            output_.err << "\r\033[K" << std::flush;
        }
        json options = json::array();
        std::uint64_t total = 0;
        std::size_t count = 0;
        for (const OptionPreview& preview : previews) {
            json items = json::array();
            for (const PreviewItem& item : preview.items) {
                json entry{{"kind", item.kind},   {"what", item.what}, {"bytes", item.bytes},
                           {"files", item.files}, {"kept", item.kept}, {"rows", item.rows},
                           {"browser", item.browser}};
                SetText(entry, "path", item.path);
                SetText(entry, "profile", item.profile);
                items.push_back(std::move(entry));
            }
            json skipped = json::array();
            for (const traces::SkippedProfile& profile : preview.skipped) {
                json entry{{"browser", profile.browser}};
                SetText(entry, "profile", profile.profile);
                SetText(entry, "folder", profile.profileFolder);
                SetText(entry, "reason", profile.reason);
                SetText(entry, "text", cleaning::CleaningTraces::SkippedText(profile));
                skipped.push_back(std::move(entry));
            }
            total += preview.Bytes();
            count += preview.items.size();
            options.push_back(
                {{"index", preview.index},
                 {"caption", CleaningOptions::kCaptions[static_cast<std::size_t>(preview.index)]},
                 {"message", cleaning::CleaningRun::StepMessage(preview.index)},
                 {"items", items},
                 {"skipped", skipped},
                 {"notes", preview.notes},
                 {"bytes", preview.Bytes()}});
        }
        if (asJson) {
            json document{{"options", options}, {"items", count}, {"bytes", total}};
            SetText(document, "programFolder", programFolder_);
            output_.out << Dump(document) << "\n";
            return errors_ > 0 ? 1 : 0;
        }
        for (const json& option : options) {
            output_.out << option["index"].get<int>() << "  "
                        << option["caption"].get<std::string>() << "\n";
            for (const json& item : option["items"]) {
                output_.out << "    " << item["kind"].get<std::string>() << "  "
                            << SizeText(item["bytes"].get<std::uint64_t>()) << "  "
                            << os::EscapeControls(item["path"].get<std::string>());
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
                output_.out << (detail.empty() ? "" : "  (" + detail + ")") << "\n";
            }
            for (const json& profile : option["skipped"]) {
                output_.out << "    skipped: "
                            << os::EscapeControls(profile["text"].get<std::string>()) << "\n";
            }
            for (const json& note : option["notes"]) {
                output_.out << "    would fail: "
                            << os::EscapeControls(note.get<std::string>()) << "\n";
            }
            output_.out << "    total " << SizeText(option["bytes"].get<std::uint64_t>()) << " in "
                        << option["items"].size() << " items\n";
        }
        output_.out << "Total: " << SizeText(total) << " in " << count << " items of "
                    << previews.size() << " options. Nothing was changed.\n";
        return errors_ > 0 ? 1 : 0;
    }

    int Run(bool noWait) {
        os::posix::FlockCleaningLock lock;
        if (const std::string holder = lock.TryLock(); !holder.empty()) {
            if (noWait) {
                output_.err << kName << ": another clean is running (" << holder
                            << "): not cleaned\n";
                return 3;
            }
            output_.err << kName << ": another clean is running (" << holder
                        << "); waiting for it to finish\n"
                        << std::flush;
            lock.Lock();
        }
        os::posix::PosixShellFolders shellFolders(registry_);
        os::posix::PosixTempPath tempPath;
        os::posix::FreedesktopTrash trash;
        os::posix::PosixFolderTree folderTree;
        desktop::x11::XcbClipboard clipboard;
        os::posix::SystemClock clock;
        NoEventPump pump;
        CommandHost host;
        LineLogSink sink([this](const std::string& text, LogColour colour) {
            if (colour == cleaning::kLogRed) {
                Red(text);
                return;
            }
            output_.out << Coloured(text, colour, output_.outIsTerminal) << "\n" << std::flush;
        });
        cleaning::CleaningLog log(sink);
        cleaning::CleaningTraces traces(catalog_, log);
        cleaning::BrowserSettings browser(settings_, messageBox_, layer_, catalog_);
        cleaning::FolderErasers folders(folderTree, shellFolders, tempPath, messageBox_, log, pump,
                                        host, traces);
        cleaning::HistoryErasers histories(registry_, trash, messageBox_, log, traces);
        cleaning::CleaningSteps steps(folders, histories, browser, clipboard, traces);
        cleaning::CleaningRun run(options_, steps, host, log, clock, pump, messageBox_, lock);
        run.cmdBasicClean_Click();
        lock.Unlock();
        if (errors_ > 0) {
            output_.out << errors_ << (errors_ == 1 ? " problem" : " problems")
                        << ": see the red lines above\n"
                        << std::flush;
            return 1;
        }
        return 0;
    }

private:
    static std::string StorePath(bool mayCreate) {
        if (mayCreate) {
            return store::SqliteRegistry::DefaultPath();
        }
        // The store's own path without making its folder (DefaultPath would).
        const std::string path = os::posix::XdgPaths::ConfigHome() + "/orvelle/registry.db";
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? path : ":memory:";
    }

    // A red entry or an error box: on standard output with the log, and on standard error.
    void Red(const std::string& raw) {
        const std::string text = os::EscapeControls(raw);
        ++errors_;
        output_.out << Coloured(text, cleaning::kLogRed, output_.outIsTerminal) << "\n"
                    << std::flush;
        output_.err << text << "\n" << std::flush;
    }

    CommandOutput output_;
    std::string programFolder_;
    store::SqliteRegistry registry_;
    store::RegistrySettingsStore settings_;
    LineMessageBox messageBox_;
    shell::RegistryLayer layer_;
    traces::LinuxTraceCatalog catalog_;
    CleaningOptions options_;
    int errors_ = 0;
};

}  // namespace

int RunCleanCommand(const std::vector<std::string>& arguments, const CommandOutput& output) {
    CleanArguments parsed;
    std::string error;
    if (!ParseCleanArguments(arguments, parsed, error)) {
        output.err << kName << ": " << error << "\nTry \"" << kName << " --help\".\n";
        return 2;
    }
    if (parsed.mode == CleanMode::Help) {
        output.out << UsageText();
        return 0;
    }
    // Options read from anywhere but the user's own store are guesses: nothing is
    // listed, previewed or cleaned on them.
    const std::string storePath = os::posix::XdgPaths::ConfigHome() + "/orvelle/registry.db";
    const auto store = store::InspectRegistryStore(storePath);
    if (store.state == store::RegistryStoreState::Damaged) {
        output.err << kName << ": the registry store " << storePath << " is damaged ("
                   << store.reason
                   << "): nothing was done. Start Orvelle: it moves the store aside and "
                      "shows the options.\n";
        return 1;
    }
    if (store.state == store::RegistryStoreState::Unusable) {
        output.err << kName << ": the registry store " << storePath << " cannot be read as it is ("
                   << store.reason << "): nothing was done, and the store was left as it is.\n";
        return 1;
    }
    Session session(parsed, parsed.mode == CleanMode::Run, output);
    if (!session.StoreOpen()) {
        output.err << kName << ": cannot open the registry store " << session.StorePathText()
                   << " (" << session.StoreError() << "): nothing was done.\n";
        return 1;
    }
    if (parsed.mode == CleanMode::Run && session.OptionsUnconfirmed()) {
        output.err << kName
                   << ": the cleaning options were set back to their defaults when a damaged "
                      "registry store was replaced, and no one has looked at them since: "
                      "nothing was cleaned. Start Orvelle to see them.\n";
        return 1;
    }
    switch (parsed.mode) {
    case CleanMode::List:
        return session.List(parsed.json);
    case CleanMode::Preview:
        return session.Preview(parsed.json);
    case CleanMode::Run:
        return session.Run(parsed.noWait);
    case CleanMode::Help:
        break;
    }
    return 0;
}

}  // namespace orvelle::cleancli
