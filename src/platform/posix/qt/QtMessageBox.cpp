#include "QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace orvelle::platform::posix {
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

}  // namespace orvelle::platform::posix
