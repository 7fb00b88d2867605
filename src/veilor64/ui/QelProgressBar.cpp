#include "QelProgressBar.h"

#include "QelCaptionLabel.h"
#include "QelPictureBox.h"
#include "QelShape.h"

#include <cmath>
#include <limits>

namespace orvelle::veilor64 {
namespace {

// Reads an integer property, falling back to the default when the saved value
// is no number or does not fit the property's type.
template <typename T>
T ReadInteger(IPropertyBag& bag, const QString& name, T defaultValue) {
    bool ok = false;
    const qlonglong value =
        bag.ReadProperty(name, QVariant::fromValue(defaultValue)).toLongLong(&ok);
    if (!ok || value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
        return defaultValue;
    }
    return static_cast<T>(value);
}

// Colours are saved as 32-bit values; a signed form (as the platform's Long
// holds 0x8000000F) is accepted too.
quint32 ReadColor(IPropertyBag& bag, const QString& name, quint32 defaultValue) {
    bool ok = false;
    const qlonglong value =
        bag.ReadProperty(name, QVariant::fromValue(defaultValue)).toLongLong(&ok);
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > std::numeric_limits<quint32>::max()) {
        return defaultValue;
    }
    return static_cast<quint32>(static_cast<quint64>(value) & 0xFFFFFFFFu);
}

}  // namespace

std::optional<qint32> PercentOf(qint32 value, qint32 max) {
    if (max == 0) {
        return std::nullopt;
    }
    const double percent = static_cast<double>(value) / static_cast<double>(max) * 100.0;
    // Halves go to the even neighbour, as the platform's conversion to Long does.
    double nearest = std::floor(percent);
    const double fraction = percent - nearest;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(nearest, 2.0) != 0.0)) {
        nearest += 1.0;
    }
    if (nearest < std::numeric_limits<qint32>::min() ||
        nearest > std::numeric_limits<qint32>::max()) {
        return std::nullopt;
    }
    return static_cast<qint32>(nearest);
}

QelProgressBar::QelProgressBar(QWidget* parent)
    : QWidget(parent),
      fillme(new QelPictureBox(this)),
      Picture1(new QelShape(fillme)),
      lblCaption(new QelCaptionLabel(fillme)) {
    fillme->setObjectName(QStringLiteral("fillme"));
    Picture1->setObjectName(QStringLiteral("Picture1"));
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->SetFill(Picture1);
    lblCaption->raise();
    connect(fillme, &QelPictureBox::ScaleChanged, this, &QelProgressBar::PlaceParts);
    connect(fillme, &QelPictureBox::Click, this, &QelProgressBar::Click);
    connect(fillme, &QelPictureBox::DblClick, this, &QelProgressBar::DblClick);
    connect(fillme, &QelPictureBox::KeyDown, this, &QelProgressBar::KeyDown);
    connect(fillme, &QelPictureBox::KeyPress, this, &QelProgressBar::KeyPress);
    connect(fillme, &QelPictureBox::KeyUp, this, &QelProgressBar::KeyUp);
    connect(fillme, &QelPictureBox::MouseDown, this, &QelProgressBar::MouseDown);
    connect(fillme, &QelPictureBox::MouseMove, this, &QelProgressBar::MouseMove);
    connect(fillme, &QelPictureBox::MouseUp, this, &QelProgressBar::MouseUp);
    connect(fillme, &QelPictureBox::Change, this, &QelProgressBar::Change);

    Reset();
    MoveFill(QRectF(0, 0, 0, 0));
    LayoutParts();
}

quint32 QelProgressBar::BackColor() const {
    return fillme->BackColor();
}

void QelProgressBar::SetBackColor(quint32 color) {
    fillme->SetBackColor(color);
    Q_EMIT PropertyChanged(QStringLiteral("BackColor"));
}

bool QelProgressBar::Enabled() const {
    return fillme->isEnabled();
}

void QelProgressBar::SetEnabled(bool enabled) {
    fillme->setEnabled(enabled);
    Q_EMIT PropertyChanged(QStringLiteral("Enabled"));
}

qint16 QelProgressBar::BorderStyle() const {
    return fillme->BorderStyle();
}

void QelProgressBar::SetBorderStyle(qint16 style) {
    fillme->SetBorderStyle(style);
    Q_EMIT PropertyChanged(QStringLiteral("BorderStyle"));
}

QPixmap QelProgressBar::Picture() const {
    return fillme->Picture();
}

void QelProgressBar::SetPicture(const QPixmap& picture) {
    fillme->SetPicture(picture);
    Q_EMIT PropertyChanged(QStringLiteral("Picture"));
}

QString QelProgressBar::ToolTipText() const {
    return fillme->toolTip();
}

void QelProgressBar::SetToolTipText(const QString& text) {
    fillme->setToolTip(text);
    Q_EMIT PropertyChanged(QStringLiteral("ToolTipText"));
}

qint32 QelProgressBar::WhatsThisHelpID() const {
    return fillme->WhatsThisHelpID();
}

void QelProgressBar::SetWhatsThisHelpID(qint32 id) {
    fillme->SetWhatsThisHelpID(id);
    Q_EMIT PropertyChanged(QStringLiteral("WhatsThisHelpID"));
}

void QelProgressBar::SetMax(qint32 max) {
    max_ = max;
    Q_EMIT PropertyChanged(QStringLiteral("Max"));
}

void QelProgressBar::SetValue(qint32 value) {
    value_ = value;
    Q_EMIT PropertyChanged(QStringLiteral("Value"));
    if (const auto percent = PercentOf(value_, max_)) {
        percent_ = *percent;
    }
    RefreshBar();
}

void QelProgressBar::SetPercent(qint32 percent) {
    percent_ = percent;
    Q_EMIT PropertyChanged(QStringLiteral("Percent"));
    RefreshBar();
}

quint32 QelProgressBar::FillColor() const {
    return Picture1->FillColor();
}

void QelProgressBar::SetFillColor(quint32 color) {
    Picture1->SetFillColor(color);
    Q_EMIT PropertyChanged(QStringLiteral("FillColor"));
}

void QelProgressBar::Reset() {
    MoveFill(QRectF(0, 0, 0, 0));
    SetPercent(0);
    SetValue(0);
    SetMax(0);
    lblCaption->clear();
}

void QelProgressBar::InitProperties() {
    max_ = 0;
    value_ = 0;
    percent_ = 0;
}

void QelProgressBar::ReadProperties(IPropertyBag& bag) {
    // Each property goes straight to where it lives: loading is no change to report.
    fillme->SetBackColor(ReadColor(bag, QStringLiteral("BackColor"), kDefaultBackColor));
    fillme->setEnabled(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool());
    const qint16 border = ReadInteger<qint16>(bag, QStringLiteral("BorderStyle"), 1);
    fillme->SetBorderStyle(border == 0 || border == 1 ? border : qint16{1});
    const QVariant picture = bag.ReadProperty(QStringLiteral("Picture"), QPixmap());
    fillme->SetPicture(picture.canConvert<QPixmap>() ? picture.value<QPixmap>() : QPixmap());
    fillme->setToolTip(bag.ReadProperty(QStringLiteral("ToolTipText"), QString()).toString());
    fillme->SetWhatsThisHelpID(ReadInteger<qint32>(bag, QStringLiteral("WhatsThisHelpID"), 0));
    max_ = ReadInteger<qint32>(bag, QStringLiteral("Max"), 0);
    value_ = ReadInteger<qint32>(bag, QStringLiteral("Value"), 0);
    percent_ = ReadInteger<qint32>(bag, QStringLiteral("Percent"), 0);
    lblCaption->setText(bag.ReadProperty(QStringLiteral("Caption"), QString()).toString());
    Picture1->SetFillColor(ReadColor(bag, QStringLiteral("FillColor"), kDefaultFillColor));
}

void QelProgressBar::WriteProperties(IPropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("BackColor"), QVariant::fromValue(BackColor()),
                      QVariant::fromValue(kDefaultBackColor));
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
    bag.WriteProperty(QStringLiteral("BorderStyle"), QVariant::fromValue(BorderStyle()),
                      QVariant::fromValue(qint16{1}));
    bag.WriteProperty(QStringLiteral("Picture"), Picture(), QPixmap());
    bag.WriteProperty(QStringLiteral("ToolTipText"), ToolTipText(), QString());
    bag.WriteProperty(QStringLiteral("WhatsThisHelpID"), QVariant::fromValue(WhatsThisHelpID()),
                      QVariant::fromValue(qint32{0}));
    bag.WriteProperty(QStringLiteral("Max"), QVariant::fromValue(max_),
                      QVariant::fromValue(qint32{0}));
    bag.WriteProperty(QStringLiteral("Value"), QVariant::fromValue(value_),
                      QVariant::fromValue(qint32{0}));
    bag.WriteProperty(QStringLiteral("Percent"), QVariant::fromValue(percent_),
                      QVariant::fromValue(qint32{0}));
    bag.WriteProperty(QStringLiteral("Caption"), lblCaption->text(), QString());
    bag.WriteProperty(QStringLiteral("FillColor"), QVariant::fromValue(FillColor()),
                      QVariant::fromValue(kDefaultFillColor));
}

void QelProgressBar::RefreshBar() {
    lblCaption->setText(QString::number(percent_) + QStringLiteral("% "));
    // A negative width cannot be drawn: the fill stays as it was.
    if (percent_ >= 0) {
        MoveFill(QRectF(0, 0, percent_, 1));
    }
}

void QelProgressBar::MoveFill(const QRectF& rectangle) {
    fillRect_ = rectangle;
    PlaceParts();
}

void QelProgressBar::resizeEvent(QResizeEvent* /*event*/) {
    LayoutParts();
}

void QelProgressBar::LayoutParts() {
    fillme->setGeometry(0, 0, width(), height());
    // The fill keeps its width and spans the box's full height until the next redraw.
    fillRect_ = QRectF(0, 0, fillRect_.width(), 1);
    captionRect_ = QRectF(0, 0, 100, 1);
    fillme->SetScale(QRectF(0, 0, 100, 1));
}

void QelProgressBar::PlaceParts() {
    Picture1->setGeometry(fillme->ToPixels(fillRect_));
    Picture1->setVisible(fillRect_.width() > 0 && fillRect_.height() > 0);
    lblCaption->setGeometry(fillme->ToPixels(captionRect_));
    lblCaption->update();
}

}  // namespace orvelle::veilor64
