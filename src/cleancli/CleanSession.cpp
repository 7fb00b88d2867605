#include "CleanSession.h"

#include "CommandText.h"
#include "os/TextLines.h"

namespace orvelle::cleancli {

using cleaning::CleaningOptions;

Session::Session(const CleanArguments& arguments, bool mayCreateStore, const CommandOutput& output)
    : output_(output),
      backends_(wiring::CleaningBackends::StorePath(mayCreateStore)),
      programFolder_(arguments.programFolder.empty() ? backends_.process.ProgramFolder()
                                                     : arguments.programFolder),
      messageBox_([this](const std::string& text) { Red(text); }),
      layer_(backends_.registry, messageBox_),
      options_(backends_.settings, messageBox_, layer_, programFolder_, backends_.traceCatalog) {
    if (!backends_.registry.IsOpen()) {
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

std::set<int> Session::Selected() const {
    std::set<int> selected;
    for (int index = 0; index < CleaningOptions::kCount; ++index) {
        if (options_.Value(index) == 1) {
            selected.insert(index);
        }
    }
    return selected;
}

void Session::Red(const std::string& raw) {
    const std::string text = os::EscapeControls(raw);
    ++errors_;
    output_.out << Coloured(text, cleaning::kLogRed, output_.outIsTerminal) << "\n" << std::flush;
    output_.err << text << "\n" << std::flush;
}

}  // namespace orvelle::cleancli
