#include "OptionalDateTimeEdit.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QSignalBlocker>

namespace orvelle::schedule {

OptionalDateTimeEdit::OptionalDateTimeEdit(Kind kind, QWidget* parent)
    : QWidget(parent), check_(new QCheckBox(this)), edit_(new QDateTimeEdit(this)) {
    check_->setObjectName(QStringLiteral("chkHasValue"));
    edit_->setObjectName(QStringLiteral("edit"));
    if (kind == Kind::Date) {
        edit_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit_->setCalendarPopup(true);
        check_->setToolTip(tr("Run on this date"));
    } else {
        edit_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        check_->setToolTip(tr("Run at this time of day"));
    }
    // Room for the whole value beside the drop-down or spin buttons.
    edit_->setMinimumWidth(edit_->fontMetrics().horizontalAdvance(QStringLiteral("8888-88-88")) +
                           48);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(check_);
    layout->addWidget(edit_, 1);

    connect(check_, &QCheckBox::toggled, this, [this](bool) {
        UpdateEditorEnabled();
        Q_EMIT edited(HasValue(), Value());
    });
    connect(edit_, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime&) {
        if (HasValue()) {
            Q_EMIT edited(true, Value());
        }
    });
}

void OptionalDateTimeEdit::SetState(const QDateTime& value, bool hasValue, bool enabled) {
    const QSignalBlocker blockCheck(check_);
    const QSignalBlocker blockEdit(edit_);
    edit_->setDateTime(value);
    check_->setChecked(hasValue);
    setEnabled(enabled);
    UpdateEditorEnabled();
}

bool OptionalDateTimeEdit::HasValue() const {
    return check_->isChecked();
}

QDateTime OptionalDateTimeEdit::Value() const {
    return edit_->dateTime();
}

void OptionalDateTimeEdit::UpdateEditorEnabled() {
    edit_->setEnabled(check_->isChecked());
}

}  // namespace orvelle::schedule
