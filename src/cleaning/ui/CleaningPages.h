#pragma once

#include "CleaningServices.h"
#include "MainWindowHost.h"
#include "OptionBoxes.h"

#include <QObject>

#include <memory>

namespace orvelle::cleaning {
class BrowserSettings;
class CleaningLog;
class CleaningOptions;
class CleaningRun;
class CleaningSteps;
class CleaningTraces;
class FolderErasers;
class HistoryErasers;
class ThrottledEventPump;
}  // namespace orvelle::cleaning

namespace orvelle::shell {
class RegistryLayer;
}

namespace orvelle::cleaning::ui {

class CleanComputerPage;
class CleanInternetPage;
class CleaningMainPanel;
class LineEditTextField;
class QTextEditLogSink;

// The cleaning engine on the main window: the Main page's cleaning part, the
// "Clean Internet" and "Clean Computer" pages, the option boxes bound to the
// option data, and the run with its erasers. The main window places the three
// widgets, attaches its own controls, and calls the load-step parts in order.
class CleaningPages final : public QObject {
    Q_OBJECT

public:
    CleaningPages(CleaningServices& services, QWidget* parent);
    ~CleaningPages() override;
    CleaningPages(const CleaningPages&) = delete;
    CleaningPages& operator=(const CleaningPages&) = delete;

    // The widgets, created here and placed by the main window.
    [[nodiscard]] CleaningMainPanel* MainPanel() const noexcept { return mainPanel_; }
    [[nodiscard]] CleanInternetPage* CleanInternet() const noexcept { return cleanInternet_; }
    [[nodiscard]] CleanComputerPage* CleanComputer() const noexcept { return cleanComputer_; }

    // The main window's controls the run works with.
    void AttachMainWindow(MainWindowControls controls);

    // Handlers.
    void cmdBasicClean_Click();
    void Command2_Click();
    void Command3_Click();
    void cmdDefaultSettings_Click();
    void cmdDefaultSettings1_Click();
    void cmdHomePage_Click();

    // The load step's parts, in the order it calls them.
    void SetSettingsReady(bool ready);
    void LoadCleaningOptions();
    void LoadWebAddressBox();
    void RestoreStartPage();

    [[nodiscard]] CleaningOptions& Options() noexcept { return *options_; }
    [[nodiscard]] const CleaningRun& Run() const noexcept { return *run_; }
    // The start time of the last run, as lblLastRunTime shows it.
    [[nodiscard]] const QString& LastRunTime() const noexcept { return host_.LastRunTime(); }

    OptionBoxes chkSettings{};

private:
    void BindOptionBoxes();

    CleaningServices& services_;
    CleaningMainPanel* mainPanel_;
    CleanInternetPage* cleanInternet_;
    CleanComputerPage* cleanComputer_;
    MainWindowHost host_;
    std::unique_ptr<shell::RegistryLayer> registry_;
    std::unique_ptr<CleaningOptions> options_;
    std::unique_ptr<BrowserSettings> browser_;
    std::unique_ptr<QTextEditLogSink> logSink_;
    std::unique_ptr<CleaningLog> log_;
    std::unique_ptr<CleaningTraces> traces_;
    std::unique_ptr<LineEditTextField> homePageField_;
    std::unique_ptr<ThrottledEventPump> walkYield_;
    std::unique_ptr<FolderErasers> folderErasers_;
    std::unique_ptr<HistoryErasers> historyErasers_;
    std::unique_ptr<CleaningSteps> steps_;
    std::unique_ptr<CleaningRun> run_;
};

}  // namespace orvelle::cleaning::ui
