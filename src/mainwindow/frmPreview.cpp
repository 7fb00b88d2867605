#include "frmPreview.h"

#include "CleaningOptions.h"
#include "CleaningTraces.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>

namespace orvelle::shell {
namespace {

const QColor kWarning(176, 80, 0);
const QColor kRed(255, 0, 0);

QString ItemDetail(const cleancli::PreviewItem& item) {
    QStringList parts;
    parts << QString::fromStdString(item.kind);
    if (!item.what.empty()) {
        parts << QString::fromStdString(item.what);
    }
    if (!item.browser.empty()) {
        parts << QString::fromStdString(item.browser + " \"" + item.profile + "\"");
    }
    if (item.files > 0) {
        parts << QStringLiteral("%1 files").arg(item.files);
    }
    if (item.kept > 0) {
        parts << QStringLiteral("%1 files stay (open in a program, or kept by the rule)")
                     .arg(item.kept);
    }
    return parts.join(QStringLiteral("; "));
}

QTreeWidgetItem* AddLine(QTreeWidgetItem* parent, const QString& text, const QColor& colour,
                         bool bold) {
    auto* line = new QTreeWidgetItem(parent, QStringList{text});
    line->setForeground(0, colour);
    line->setFirstColumnSpanned(true);
    line->setToolTip(0, text);
    if (bold) {
        QFont font = line->font(0);
        font.setBold(true);
        line->setFont(0, font);
    }
    return line;
}

}  // namespace

frmPreview::frmPreview(std::vector<int> options, Builder builder, QWidget* parent)
    : QDialog(parent), options_(std::move(options)), builder_(std::move(builder)) {
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Preview: what a clean would erase now"));
    tvwPreview = new QTreeWidget(this);
    tvwPreview->setObjectName(QStringLiteral("tvwPreview"));
    tvwPreview->setColumnCount(3);
    tvwPreview->setHeaderLabels(
        {QStringLiteral("What"), QStringLiteral("Kind"), QStringLiteral("Size")});
    tvwPreview->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tvwPreview->header()->setStretchLastSection(false);
    tvwPreview->setUniformRowHeights(true);
    lblPreviewStatus = new QLabel(this);
    lblPreviewStatus->setObjectName(QStringLiteral("lblPreviewStatus"));
    lblPreviewStatus->setWordWrap(true);
    cmdClosePreview = new QPushButton(QStringLiteral("Close"), this);
    cmdClosePreview->setObjectName(QStringLiteral("cmdClosePreview"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblPreviewStatus, 1);
    bottom->addWidget(cmdClosePreview);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tvwPreview, 1);
    layout->addLayout(bottom);
    resize(820, 520);
    connect(cmdClosePreview, &QPushButton::clicked, this, &QDialog::close);
}

QString frmPreview::SizeText(std::uint64_t bytes) {
    return QString::fromStdString(cleancli::SizeText(bytes));
}

void frmPreview::Start() {
    tvwPreview->clear();
    next_ = 0;
    totalBytes_ = 0;
    totalItems_ = 0;
    shownOptions_ = 0;
    filling_ = true;
    lblPreviewStatus->setText(QStringLiteral("Looking ..."));
    QTimer::singleShot(0, this, &frmPreview::FillNext);
}

void frmPreview::FillNext() {
    if (next_ >= options_.size()) {
        filling_ = false;
        lblPreviewStatus->setText(QStringLiteral("Total: %1 in %2 items of %3 options. Nothing "
                                                 "was changed.")
                                      .arg(SizeText(totalBytes_))
                                      .arg(totalItems_)
                                      .arg(shownOptions_));
        Q_EMIT Filled();
        return;
    }
    const int index = options_[next_++];
    lblPreviewStatus->setText(
        QStringLiteral("Looking at \"%1\" ...")
            .arg(QString::fromUtf8(
                cleaning::CleaningOptions::kCaptions[static_cast<std::size_t>(index)])));
    // A large folder: show how far the scan is and let the window answer.
    const auto progress = [this](const std::string& folder, std::uint64_t files) {
        lblPreviewStatus->setText(QStringLiteral("Looking at %1: %2 files ...")
                                      .arg(QString::fromStdString(folder))
                                      .arg(files));
        QCoreApplication::processEvents();
    };
    for (const cleancli::OptionPreview& preview : builder_(index, progress)) {
        AddOption(preview);
    }
    QTimer::singleShot(0, this, &frmPreview::FillNext);
}

void frmPreview::AddOption(const cleancli::OptionPreview& preview) {
    auto* option = new QTreeWidgetItem(tvwPreview);
    option->setText(
        0, QString::fromUtf8(
               cleaning::CleaningOptions::kCaptions[static_cast<std::size_t>(preview.index)]));
    option->setText(1, preview.items.size() == 1
                           ? QStringLiteral("1 item")
                           : QStringLiteral("%1 items").arg(preview.items.size()));
    option->setText(2, SizeText(preview.Bytes()));
    option->setData(0, Qt::UserRole, preview.index);
    QFont font = option->font(0);
    font.setBold(true);
    option->setFont(0, font);
    for (const std::string& warning : preview.warnings) {
        AddLine(option, QStringLiteral("Warning: ") + QString::fromStdString(warning), kWarning,
                true);
    }
    for (const traces::SkippedProfile& skipped : preview.skipped) {
        AddLine(option,
                QStringLiteral("Skipped: ") +
                    QString::fromStdString(cleaning::CleaningTraces::SkippedText(skipped)),
                kRed, false);
    }
    for (const std::string& note : preview.notes) {
        AddLine(option, QStringLiteral("Would fail: ") + QString::fromStdString(note), kRed, false);
    }
    for (const cleancli::PreviewItem& item : preview.items) {
        auto* line = new QTreeWidgetItem(
            option,
            QStringList{QString::fromStdString(item.path), ItemDetail(item), SizeText(item.bytes)});
        line->setTextAlignment(2, Qt::AlignRight);
        line->setToolTip(0, QString::fromStdString(item.path));
    }
    option->setTextAlignment(2, Qt::AlignRight);
    // What deserves a look before cleaning is open at once.
    option->setExpanded(!preview.warnings.empty() || !preview.skipped.empty() ||
                        !preview.notes.empty() || preview.items.size() <= 10);
    totalBytes_ += preview.Bytes();
    totalItems_ += preview.items.size();
    ++shownOptions_;
}

}  // namespace orvelle::shell
