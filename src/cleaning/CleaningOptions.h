#pragma once

#include "RegistryLayer.h"
#include "desktop/MessageBox.h"
#include "store/SettingsStore.h"
#include "traces/TraceCatalog.h"

#include <array>
#include <functional>
#include <string>

namespace orvelle::cleaning {

// The sixteen cleaning options (chkSettings, indexes 0 to 15, each 0 unchecked,
// 1 checked or 2 grayed) and the auto-suggest box chkWebAddress, as plain data
// with the boxes as their view. A change of value, by code or by the user, raises
// the box's click exactly once; the click stores the value only while
// bSettingsReady is true, so that the load step stores nothing.
class CleaningOptions {
public:
    static constexpr int kCount = 16;
    // What an option that was never stored reads as.
    static constexpr int kAbsent = 3;
    // The index the view callback uses for chkWebAddress.
    static constexpr int kWebAddress = kCount;

    static const std::array<const char*, kCount> kCaptions;
    static constexpr const char* kWebAddressCaption = "Clear Auto Complete Web &Addresses";
    static constexpr const char* kAutoCompleteKey =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoComplete";
    static constexpr const char* kAutoSuggest = "AutoSuggest";

    // `programFolder` is the settings store's application name for the options.
    CleaningOptions(store::ISettingsStore& settings, desktop::IMessageBox& messageBox,
                    shell::RegistryLayer& registry, std::string programFolder,
                    traces::ITraceCatalog& traces);

    // Called after a value changed, to update the box (index kWebAddress: chkWebAddress).
    void SetOnValueChanged(std::function<void(int index, int value)> onValueChanged);

    [[nodiscard]] int Value(int index) const;
    // Assigns a box's value as code or a click does; false (nothing changes) for an
    // index or a value out of range.
    bool SetValue(int index, int value);
    [[nodiscard]] int WebAddressValue() const noexcept { return webAddress_; }
    bool SetWebAddressValue(int value);

    // False while the load step sets the boxes.
    bool bSettingsReady = false;

    // The box's click: stores its value under "Index" and the index while ready.
    void chkSettings_Click(int index);
    // "&Default" of the Clean Internet page (also the load step's defaults).
    void cmdDefaultSettings_Click();
    // "&Default" of the Clean Computer page.
    void cmdDefaultSettings1_Click();
    // Restores the stored values over the defaults. A damaged value shows the error
    // box and keeps that box's default; the other indexes still load.
    void LoadCleaningOptions();
    // The click of chkWebAddress: "yes" when unchecked, else "no", to AutoSuggest;
    // once ready (not while the load step sets the box) also Firefox's address
    // auto-fill of every profile, on when unchecked, off when checked.
    void chkWebAddress_Click();
    // The load step's setting of chkWebAddress: unchecked when AutoSuggest is "yes".
    void LoadWebAddressBox();

private:
    // Assigns as code does; RuntimeError 380 for a value the box cannot take.
    void Assign(int index, int value);
    void AssignAll(std::initializer_list<std::pair<int, int>> values);

    store::ISettingsStore& settings_;
    desktop::IMessageBox& messageBox_;
    shell::RegistryLayer& registry_;
    std::string programFolder_;
    traces::ITraceCatalog& traces_;
    std::array<int, kCount> values_{};
    int webAddress_ = 0;
    std::function<void(int, int)> onValueChanged_;
};

}  // namespace orvelle::cleaning
