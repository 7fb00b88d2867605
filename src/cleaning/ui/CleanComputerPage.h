#pragma once

#include "OptionBoxes.h"

#include <QWidget>

class QGroupBox;
class QPushButton;

namespace orvelle::cleaning::ui {

// The "Clean Computer" page: the computer-cleaning options, "&Default" and
// "Clean Computer".
class CleanComputerPage final : public QWidget {
    Q_OBJECT

public:
    CleanComputerPage(OptionBoxes& chkSettings, QWidget* parent = nullptr);

    QGroupBox* fmComputerSettings;
    QPushButton* cmdDefaultSettings1;
    QPushButton* Command3;
    QPushButton* cmdPreview;  // what a clean would erase now
};

}  // namespace orvelle::cleaning::ui
