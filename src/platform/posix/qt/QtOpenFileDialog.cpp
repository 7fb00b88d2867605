#include "QtOpenFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace orvelle::platform::posix {

QString QtOpenFileDialog::QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype index = 0; index + 1 < parts.size(); index += 2) {
        const QString description = parts[index].trimmed();
        QString patterns = parts[index + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtOpenFileDialog::StartPath(const OpenFileRequest& request) {
    if (!request.fileName.empty()) {
        const QFileInfo previous(QString::fromStdString(request.fileName));
        if (previous.absoluteDir().exists()) {
            return previous.absoluteFilePath();
        }
    }
    return QString::fromStdString(request.initialFolder);
}

std::optional<std::string> QtOpenFileDialog::ShowOpen(const OpenFileRequest& request) {
    const QString chosen = QFileDialog::getOpenFileName(
        QApplication::activeWindow(), QString::fromStdString(request.title), StartPath(request),
        QtFilter(request.filter));
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.toStdString();
}

}  // namespace orvelle::platform::posix
