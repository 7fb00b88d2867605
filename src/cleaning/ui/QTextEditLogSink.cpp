#include "QTextEditLogSink.h"

#include <QColor>
#include <QTextCursor>
#include <QTextEdit>

namespace orvelle::cleaning::ui {
namespace {

// The widget separates lines with a paragraph separator; the logic with CR LF.
std::string ToLogText(QString text) {
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text.toStdString();
}

}  // namespace

void QTextEditLogSink::Clear() {
    edit_.clear();
}

void QTextEditLogSink::SetColour(LogColour colour) {
    format_.setForeground(QColor(colour.red, colour.green, colour.blue));
}

std::string QTextEditLogSink::SelectedText() const {
    return ToLogText(edit_.textCursor().selectedText());
}

void QTextEditLogSink::InsertAtCaret(const std::string& text) {
    QString inserted = QString::fromStdString(text);
    // Each of CR and LF would start a paragraph of its own in the widget.
    inserted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    inserted.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor cursor = edit_.textCursor();
    cursor.insertText(inserted, format_);
    edit_.setTextCursor(cursor);
    edit_.ensureCursorVisible();
}

void QTextEditLogSink::Repaint() {
    edit_.viewport()->repaint();
}

std::string QTextEditLogSink::PlainText(const QTextEdit& edit) {
    QString text = edit.toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toStdString();
}

}  // namespace orvelle::cleaning::ui
