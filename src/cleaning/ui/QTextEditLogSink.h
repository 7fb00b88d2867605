#pragma once

#include "LogSink.h"

#include <QTextCharFormat>

#include <string>

class QTextEdit;

namespace orvelle::cleaning::ui {

// The cleaning log on a QTextEdit: entries go in at the widget's own caret, in the
// colour last set. CR LF in the logic's texts is one line break in the widget.
class QTextEditLogSink final : public ILogSink {
public:
    explicit QTextEditLogSink(QTextEdit& edit) : edit_(edit) {}

    void Clear() override;
    void SetColour(LogColour colour) override;
    [[nodiscard]] std::string SelectedText() const override;
    void InsertAtCaret(const std::string& text) override;
    void Repaint() override;

    // The widget's whole text with CR LF between lines, as the logic wrote it.
    [[nodiscard]] static std::string PlainText(const QTextEdit& edit);

private:
    QTextEdit& edit_;
    QTextCharFormat format_;
};

}  // namespace orvelle::cleaning::ui
