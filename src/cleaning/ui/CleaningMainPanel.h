#pragma once

#include "OptionBoxes.h"

#include <QWidget>

class QLineEdit;
class QPushButton;
class QTextEdit;

namespace orvelle::cleaning::ui {

// The cleaning part of the Main page: the button that cleans everything, the log,
// option 0 directly below it, and the home page with its button.
class CleaningMainPanel final : public QWidget {
    Q_OBJECT

public:
    CleaningMainPanel(OptionBoxes& chkSettings, QWidget* parent = nullptr);

    QPushButton* cmdBasicClean;
    // Opens the list of what a clean would erase now.
    QPushButton* cmdPreview;
    QTextEdit* rtfMessage;
    QLineEdit* txtHomePageURL;
    QPushButton* cmdHomePage;
};

}  // namespace orvelle::cleaning::ui
