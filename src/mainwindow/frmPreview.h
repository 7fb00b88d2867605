#pragma once

#include "CleanPreview.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace orvelle::shell {

// What a clean would erase now, option by option, with counts and sizes, the
// browser profiles it would leave alone, and a plain warning where it erases the
// user's own files. It only looks: nothing is changed. It fills one option per
// turn of the event loop and lets the window repaint while a large folder is
// scanned, so it stays usable while it fills.
class frmPreview final : public QDialog {
    Q_OBJECT

public:
    // What the step of one option would erase; `progress` is called now and then
    // while a large folder is scanned.
    using Builder = std::function<std::vector<cleancli::OptionPreview>(
        int index, const cleancli::ScanProgress& progress)>;

    frmPreview(std::vector<int> options, Builder builder, QWidget* parent);

    // Starts filling; the list grows as the event loop turns.
    void Start();
    [[nodiscard]] bool Filling() const noexcept { return filling_; }

    // "12.3 MiB", as the terminal preview writes sizes.
    [[nodiscard]] static QString SizeText(std::uint64_t bytes);

    QTreeWidget* tvwPreview;
    QLabel* lblPreviewStatus;
    QPushButton* cmdClosePreview;

Q_SIGNALS:
    void Filled();

private:
    void FillNext();
    void AddOption(const cleancli::OptionPreview& preview);

    std::vector<int> options_;
    Builder builder_;
    std::size_t next_ = 0;
    bool filling_ = false;
    std::uint64_t totalBytes_ = 0;
    std::size_t totalItems_ = 0;
    std::size_t shownOptions_ = 0;
};

}  // namespace orvelle::shell
