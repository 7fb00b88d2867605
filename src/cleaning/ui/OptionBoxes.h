#pragma once

#include "CleaningOptions.h"

#include <array>

class QWidget;

namespace orvelle::widgets {
class VbCheckBox;
}

namespace orvelle::cleaning::ui {

// The control array chkSettings: box i has the objectName "chkSettings_i" (Qt has
// no control arrays, so the index is part of the name).
using OptionBoxes = std::array<widgets::VbCheckBox*, CleaningOptions::kCount>;

// Creates box `index` with its caption on `parent` and enters it in `boxes`.
widgets::VbCheckBox* AddOptionBox(OptionBoxes& boxes, int index, QWidget* parent);

}  // namespace orvelle::cleaning::ui
