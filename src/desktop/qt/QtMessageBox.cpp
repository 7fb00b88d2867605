#include "QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace orvelle::desktop::qt {
namespace {

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtMessageBox::Show(const std::string& text, const std::string& title, MessageIcon icon) {
    QWidget* parent = QApplication::activeWindow();
    QMessageBox box(ToQt(icon), QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("msgBox"));
    box.exec();
}

bool QtMessageBox::Ask(const std::string& text, const std::string& title, const std::string& yes,
                       const std::string& no) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("msgBox"));
    QPushButton* yesButton = box.addButton(QString::fromStdString(yes), QMessageBox::AcceptRole);
    QPushButton* noButton = box.addButton(QString::fromStdString(no), QMessageBox::RejectRole);
    // The answer that changes nothing is the one Enter and Escape give.
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

}  // namespace orvelle::desktop::qt
