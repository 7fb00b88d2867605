#pragma once

#include <QDateTime>
#include <QWidget>

#include <optional>

class QCheckBox;
class QDateTimeEdit;

namespace orvelle::schedule {

// A date or time picker with a "no value" box: the box ticked means the picker has
// a value; unticked, it still shows (greyed) the value it would take. `edited` is
// raised for the user's edits only, never for values set by code.
class OptionalDateTimeEdit final : public QWidget {
    Q_OBJECT

public:
    enum class Kind { Date, Time };

    OptionalDateTimeEdit(Kind kind, QWidget* parent = nullptr);

    // Sets what the picker shows without raising `edited`.
    void SetState(const QDateTime& value, bool hasValue, bool enabled);
    [[nodiscard]] bool HasValue() const;
    [[nodiscard]] QDateTime Value() const;

    QCheckBox* checkBox() const noexcept { return check_; }
    QDateTimeEdit* editor() const noexcept { return edit_; }

Q_SIGNALS:
    void edited(bool hasValue, const QDateTime& value);

private:
    void UpdateEditorEnabled();

    QCheckBox* check_;
    QDateTimeEdit* edit_;
};

}  // namespace orvelle::schedule
