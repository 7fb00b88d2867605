#include "OptionBoxes.h"

#include "VbCheckBox.h"

namespace orvelle::cleaning::ui {

widgets::VbCheckBox* AddOptionBox(OptionBoxes& boxes, int index, QWidget* parent) {
    auto* box = new widgets::VbCheckBox(
        QString::fromUtf8(CleaningOptions::kCaptions[static_cast<std::size_t>(index)]), parent);
    box->setObjectName(QStringLiteral("chkSettings_%1").arg(index));
    boxes[static_cast<std::size_t>(index)] = box;
    return box;
}

}  // namespace orvelle::cleaning::ui
