#include "CleaningOptions.h"

#include "ErrorBox.h"
#include "OptionTable.h"
#include "Settings.h"
#include "VbConvert.h"

namespace orvelle::cleaning {

using os::RuntimeError;

namespace {

constexpr std::int32_t kInvalidPropertyValue = 380;

bool IsBoxValue(int value) {
    return value >= 0 && value <= 2;
}

}  // namespace

const std::array<const char*, CleaningOptions::kCount> CleaningOptions::kCaptions = []() noexcept {
    std::array<const char*, kCount> captions{};
    for (std::size_t index = 0; index < captions.size(); ++index) {
        captions[index] = kOptionTable[index].caption;
    }
    return captions;
}();

CleaningOptions::CleaningOptions(store::ISettingsStore& settings, desktop::IMessageBox& messageBox,
                                 shell::RegistryLayer& registry, std::string programFolder,
                                 traces::ITraceCatalog& traces)
    : settings_(settings),
      messageBox_(messageBox),
      registry_(registry),
      programFolder_(std::move(programFolder)),
      traces_(traces) {
}

void CleaningOptions::SetOnValueChanged(std::function<void(int, int)> onValueChanged) {
    onValueChanged_ = std::move(onValueChanged);
}

int CleaningOptions::Value(int index) const {
    return index >= 0 && index < kCount ? values_[static_cast<std::size_t>(index)] : 0;
}

bool CleaningOptions::SetValue(int index, int value) {
    if (index < 0 || index >= kCount || !IsBoxValue(value)) {
        return false;
    }
    int& current = values_[static_cast<std::size_t>(index)];
    if (current != value) {
        current = value;
        if (onValueChanged_) {
            onValueChanged_(index, value);
        }
        chkSettings_Click(index);
    }
    return true;
}

bool CleaningOptions::SetWebAddressValue(int value) {
    if (!IsBoxValue(value)) {
        return false;
    }
    if (webAddress_ != value) {
        webAddress_ = value;
        if (onValueChanged_) {
            onValueChanged_(kWebAddress, value);
        }
        chkWebAddress_Click();
    }
    return true;
}

void CleaningOptions::Assign(int index, int value) {
    if (!SetValue(index, value)) {
        throw RuntimeError(kInvalidPropertyValue, "Invalid property value");
    }
}

void CleaningOptions::AssignAll(std::initializer_list<std::pair<int, int>> values) {
    for (const auto& [index, value] : values) {
        Assign(index, value);
    }
}

void CleaningOptions::chkSettings_Click(int index) {
    shell::RunTrapped(messageBox_, [&] {
        if (bSettingsReady) {
            settings_.SaveSetting(programFolder_, shell::settings::kSettings,
                                  shell::settings::kIndexPrefix + std::to_string(index),
                                  std::to_string(Value(index)));
        }
    });
}

void CleaningOptions::cmdDefaultSettings_Click() {
    shell::RunTrapped(messageBox_, [&] {
        AssignAll({{2, 1},
                   {6, 0},
                   {7, 1},
                   {8, 0},
                   {9, 1},
                   {10, 1},
                   {1, 1},
                   {4, 0},
                   {0, 1},
                   {3, 1},
                   {5, 1},
                   {11, 1}});
    });
}

void CleaningOptions::cmdDefaultSettings1_Click() {
    shell::RunTrapped(messageBox_, [&] {
        AssignAll({{10, 1}, {1, 1}, {4, 0}, {0, 1}, {3, 1}, {5, 1}, {11, 1}});
    });
}

void CleaningOptions::LoadCleaningOptions() {
    for (int index = 0; index < kCount; ++index) {
        // Each index under its own trap: one damaged value must not cost the others.
        shell::RunTrapped(messageBox_, [&] {
            const std::string key = shell::settings::kIndexPrefix + std::to_string(index);
            const std::string text = settings_.GetSetting(
                programFolder_, shell::settings::kSettings, key, std::to_string(kAbsent));
            const std::string where = ": the setting " + std::string(shell::settings::kSettings) +
                                      "\\" + key + " holds \"" + text + "\"; the default is used";
            std::int32_t value = kAbsent;
            try {
                value = shell::ToInt32(text);
            } catch (const RuntimeError& error) {
                throw RuntimeError(error.Number(), error.Description() + where);
            }
            if (value == kAbsent) {
                return;
            }
            if (!SetValue(index, value)) {
                throw RuntimeError(kInvalidPropertyValue, "Invalid property value" + where);
            }
        });
    }
}

void CleaningOptions::chkWebAddress_Click() {
    shell::RunTrapped(messageBox_, [&] {
        registry_.SetUserKeyValue(kAutoCompleteKey, kAutoSuggest,
                                  std::string(webAddress_ == 0 ? "yes" : "no"), store::REG_SZ);
        if (!bSettingsReady) {
            return;  // the load step only mirrors the stored value: no browser changes
        }
        const traces::TraceFindings found = traces_.FindAutoFill(webAddress_ == 0);
        std::string failures;
        for (const traces::TraceItem& item : found.items) {
            if (const traces::TraceOutcome outcome = traces_.Apply(item); !outcome.ok()) {
                failures += "\n" + outcome.error;
            }
        }
        if (!failures.empty()) {
            throw RuntimeError(os::errors::kPathFileAccessError,
                               "Address auto-fill was not changed everywhere:" + failures);
        }
    });
}

void CleaningOptions::LoadWebAddressBox() {
    const std::string autoSuggest = registry_.QueryUserValue(kAutoCompleteKey, kAutoSuggest);
    SetWebAddressValue(autoSuggest == "yes" ? 0 : 1);
}

}  // namespace orvelle::cleaning
