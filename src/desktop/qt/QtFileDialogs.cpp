#include "QtFileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace orvelle::desktop::qt {
namespace {

QString QtPair(QString description, const QString& patterns) {
    // Qt reads the patterns from the description's parentheses: drop the description's
    // own and put the translated ones there.
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
        for (const QString& variant : {trimmed.toLower(), trimmed.toUpper()}) {
            if (!qtPatterns.contains(variant)) {
                qtPatterns << variant;
            }
        }
    }
    if (qtPatterns.isEmpty()) {
        return {};
    }
    return description + QStringLiteral(" (") + qtPatterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

}  // namespace

QString QtFileDialogs::QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype index = 0; index + 1 < parts.size(); index += 2) {
        const QString pair = QtPair(parts[index].trimmed(), parts[index + 1].trimmed());
        if (!pair.isEmpty()) {
            filters << pair;
        }
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtFileDialogs::StartPath(const FileDialogRequest& request) {
    if (!request.fileName.empty()) {
        const QFileInfo previous(QString::fromStdString(request.fileName));
        if (previous.absoluteDir().exists()) {
            return previous.absoluteFilePath();
        }
    }
    return QString::fromStdString(request.initialFolder);
}

std::optional<std::string> QtFileDialogs::PickFile(const FileDialogRequest& request) {
    QWidget* parent = QApplication::activeWindow();
    const QString title = QString::fromStdString(request.title);
    const QString filter = QtFilter(request.filter);
    const QString chosen =
        request.kind == FileDialogKind::Open
            ? QFileDialog::getOpenFileName(parent, title, StartPath(request), filter)
            : QFileDialog::getSaveFileName(parent, title, StartPath(request), filter);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

std::optional<std::string> QtFileDialogs::PickFolder() {
    const QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString(), QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

}  // namespace orvelle::desktop::qt
