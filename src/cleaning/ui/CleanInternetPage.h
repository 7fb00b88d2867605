#pragma once

#include "OptionBoxes.h"

#include <QWidget>

class QGroupBox;
class QPushButton;

namespace orvelle::cleaning::ui {

// The "Clean Internet" page: the browser-cleaning options in fmSettings (index 8
// exists but is never shown), chkWebAddress, "&Default" and "Clean Internet".
class CleanInternetPage final : public QWidget {
    Q_OBJECT

public:
    CleanInternetPage(OptionBoxes& chkSettings, QWidget* parent = nullptr);

    QGroupBox* fmSettings;
    widgets::VbCheckBox* chkWebAddress;
    QPushButton* cmdDefaultSettings;
    QPushButton* Command2;
    QPushButton* cmdPreview;  // what a clean would erase now
};

}  // namespace orvelle::cleaning::ui
