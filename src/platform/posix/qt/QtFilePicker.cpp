#include "QtFilePicker.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace orvelle::platform::posix {

QString QtFilePicker::ToQtFilter(const std::string& filter) {
    const QString text = QString::fromStdString(filter);
    const auto bar = text.indexOf(QLatin1Char('|'));
    QString description = (bar < 0 ? text : text.left(bar)).trimmed();
    const QString patterns = bar < 0 ? QString() : text.mid(bar + 1).trimmed();
    // Qt reads the patterns from the parentheses of the description: drop the
    // description's own and put the translated ones there.
    const auto parenthesis = description.indexOf(QLatin1Char('('));
    if (parenthesis > 0) {
        description = description.left(parenthesis).trimmed();
    }
    QStringList qtPatterns;
    for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed == QStringLiteral("*.*") || trimmed == QStringLiteral("*")) {
            qtPatterns = {QStringLiteral("*")};
            break;
        }
        // File names are case-sensitive here; the extension is not meant to be.
        qtPatterns << trimmed.toLower();
        if (trimmed.toUpper() != trimmed.toLower()) {
            qtPatterns << trimmed.toUpper();
        }
    }
    if (qtPatterns.isEmpty()) {
        qtPatterns = {QStringLiteral("*")};
    }
    return description + QStringLiteral(" (") + qtPatterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

std::optional<std::string> QtFilePicker::PickFile(FileDialogKind kind, const std::string& filter) {
    QWidget* parent = QApplication::activeWindow();
    const QString qtFilter = ToQtFilter(filter);
    const QString chosen =
        kind == FileDialogKind::Open
            ? QFileDialog::getOpenFileName(parent, QString(), QString(), qtFilter)
            : QFileDialog::getSaveFileName(parent, QString(), QString(), qtFilter);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

std::optional<std::string> QtFilePicker::PickFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString(), QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

}  // namespace orvelle::platform::posix
