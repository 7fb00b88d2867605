// The progress bar: percentage arithmetic, drawing state, Reset, the saved
// properties and the events of its box.

#include "MemoryPropertyBag.h"
#include "OleColor.h"
#include "QelCaptionLabel.h"
#include "QelPictureBox.h"
#include "QelProgressBar.h"
#include "QelShape.h"
#include "os/RuntimeError.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>

#include <limits>

namespace orvelle::veilor64 {
namespace {

struct PercentRow {
    const char* name;
    qint32 value;
    qint32 max;
    std::optional<qint32> percent;
};

// Test names show the row, not its bytes.
void PrintTo(const PercentRow& row, std::ostream* out) {
    *out << row.name;
}

class PercentOfTest : public testing::TestWithParam<PercentRow> {};

TEST_P(PercentOfTest, NearestIntegerWithHalvesToEven) {
    EXPECT_EQ(PercentOf(GetParam().value, GetParam().max), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(Rows, PercentOfTest,
                         testing::Values(PercentRow{"TwelveAndAHalfGoesDown", 1, 8, 12},
                                         PercentRow{"ThirtySevenAndAHalfGoesUp", 3, 8, 38},
                                         PercentRow{"HalfGoesToZero", 1, 200, 0},
                                         PercentRow{"OneAndAHalfGoesToTwo", 3, 200, 2},
                                         PercentRow{"NegativeHalfToEven", -1, 8, -12},
                                         PercentRow{"NegativeHalfUpToEven", -3, 8, -38},
                                         PercentRow{"ThirdRoundsDown", 1, 3, 33},
                                         PercentRow{"TwoThirdsRoundUp", 2, 3, 67},
                                         PercentRow{"AboveMax", 5, 2, 250},
                                         PercentRow{"MaxZero", 5, 0, std::nullopt},
                                         PercentRow{"NothingOfNothing", 0, 0, std::nullopt},
                                         PercentRow{"TooLargeForThirtyTwoBits",
                                                    std::numeric_limits<qint32>::max(), 1,
                                                    std::nullopt}),
                         [](const testing::TestParamInfo<PercentRow>& rowInfo) {
                             return std::string(rowInfo.param.name);
                         });

class QelProgressBarTest : public testing::Test {
protected:
    // Shown, so that resizing lays the parts out at once (a hidden widget
    // gets its resize event only when it is shown).
    QelProgressBarTest() {
        bar.resize(200, 24);
        bar.show();
    }

    // The fill's width as a share of the box's client width, in percent.
    double FillPercent() const {
        if (bar.Picture1->isHidden()) {
            return 0;
        }
        return 100.0 * bar.Picture1->width() / bar.fillme->contentsRect().width();
    }

    QelProgressBar bar;
};

TEST_F(QelProgressBarTest, NewBarShowsNoFillAndNoText) {
    EXPECT_EQ(bar.lblCaption->text(), "");
    EXPECT_EQ(FillPercent(), 0);
    EXPECT_EQ(bar.Max(), 0);
    EXPECT_EQ(bar.Value(), 0);
    EXPECT_EQ(bar.Percent(), 0);
    EXPECT_EQ(bar.fillme->geometry(), bar.rect());
}

TEST_F(QelProgressBarTest, PercentSetsTheLabelAndTheFill) {
    bar.SetPercent(37);
    EXPECT_EQ(bar.lblCaption->text(), "37% ");
    EXPECT_NEAR(FillPercent(), 37, 1);
    EXPECT_EQ(bar.Picture1->height(), bar.fillme->contentsRect().height());
    bar.SetPercent(100);
    EXPECT_EQ(bar.lblCaption->text(), "100% ");
    EXPECT_EQ(bar.Picture1->geometry(), bar.fillme->contentsRect());
}

TEST_F(QelProgressBarTest, PercentAbove100DrawsPastTheEdge) {
    bar.SetPercent(150);
    EXPECT_EQ(bar.lblCaption->text(), "150% ");
    EXPECT_GT(bar.Picture1->width(), bar.fillme->contentsRect().width());
}

TEST_F(QelProgressBarTest, NegativePercentKeepsTheFillButShowsTheNumber) {
    bar.SetPercent(40);
    const QRect before = bar.Picture1->geometry();
    bar.SetPercent(-5);
    EXPECT_EQ(bar.lblCaption->text(), "-5% ");
    EXPECT_EQ(bar.Percent(), -5);
    EXPECT_EQ(bar.Picture1->geometry(), before);
}

TEST_F(QelProgressBarTest, ValueComputesPercentFromMax) {
    bar.SetMax(8);
    bar.SetValue(1);
    EXPECT_EQ(bar.Percent(), 12);
    EXPECT_EQ(bar.lblCaption->text(), "12% ");
    bar.SetValue(3);
    EXPECT_EQ(bar.Percent(), 38);
    EXPECT_EQ(bar.lblCaption->text(), "38% ");
}

TEST_F(QelProgressBarTest, ValueWithMaxZeroKeepsPercentAndRedraws) {
    bar.SetPercent(40);
    bar.lblCaption->setText("stale");
    bar.SetValue(5);
    EXPECT_EQ(bar.Percent(), 40);
    EXPECT_EQ(bar.lblCaption->text(), "40% ");
}

TEST_F(QelProgressBarTest, MaxAloneRecomputesAndRedrawsNothing) {
    bar.SetPercent(20);
    bar.SetValue(4);
    bar.SetMax(8);
    EXPECT_EQ(bar.Percent(), 20);
    EXPECT_EQ(bar.lblCaption->text(), "20% ");
}

TEST_F(QelProgressBarTest, ResetEmptiesTheBarAndReportsItsChanges) {
    bar.SetMax(10);
    bar.SetValue(5);
    QSignalSpy changed(&bar, &QelProgressBar::PropertyChanged);
    bar.Reset();
    EXPECT_EQ(bar.lblCaption->text(), "");
    EXPECT_EQ(FillPercent(), 0);
    EXPECT_EQ(bar.Max(), 0);
    EXPECT_EQ(bar.Value(), 0);
    EXPECT_EQ(bar.Percent(), 0);
    QStringList names;
    for (const auto& arguments : changed) {
        names << arguments.at(0).toString();
    }
    EXPECT_EQ(names, (QStringList{"Percent", "Value", "Max"}));
}

TEST_F(QelProgressBarTest, SettersReportTheirSavedNames) {
    QSignalSpy changed(&bar, &QelProgressBar::PropertyChanged);
    bar.SetBackColor(0xFFFFFF);
    bar.SetEnabled(false);
    bar.SetBorderStyle(0);
    bar.SetPicture(QPixmap(4, 4));
    bar.SetToolTipText("tip");
    bar.SetWhatsThisHelpID(7);
    bar.SetFillColor(0x00FF00);
    QStringList names;
    for (const auto& arguments : changed) {
        names << arguments.at(0).toString();
    }
    EXPECT_EQ(names, (QStringList{"BackColor", "Enabled", "BorderStyle", "Picture", "ToolTipText",
                                  "WhatsThisHelpID", "FillColor"}));
    EXPECT_EQ(bar.fillme->toolTip(), "tip");
    EXPECT_FALSE(bar.fillme->isEnabled());
    EXPECT_EQ(bar.fillme->frameStyle(), QFrame::NoFrame);
    EXPECT_EQ(bar.Picture1->FillColor(), 0x00FF00u);
}

TEST_F(QelProgressBarTest, InvalidBorderStyleIsRefused) {
    try {
        bar.SetBorderStyle(2);
        FAIL() << "accepted";
    } catch (const os::RuntimeError& error) {
        EXPECT_EQ(error.Number(), 380);
    }
    EXPECT_EQ(bar.BorderStyle(), 1);
}

TEST_F(QelProgressBarTest, ResizeKeepsTheFillShareAndCoversTheControl) {
    bar.SetPercent(50);
    bar.resize(400, 30);
    EXPECT_EQ(bar.fillme->geometry(), QRect(0, 0, 400, 30));
    EXPECT_NEAR(FillPercent(), 50, 1);
    EXPECT_EQ(bar.Picture1->height(), bar.fillme->contentsRect().height());
    EXPECT_EQ(bar.lblCaption->geometry(), bar.fillme->contentsRect());
}

// Records the names a control reads or writes, in order, with the defaults.
class RecordingBag final : public IPropertyBag {
public:
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue) override {
        names << name;
        defaults.insert(name, defaultValue);
        return saved.value(name, defaultValue);
    }
    void WriteProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue) override {
        names << name;
        defaults.insert(name, defaultValue);
        written.insert(name, value);
    }
    QStringList names;
    QVariantMap defaults;
    QVariantMap saved;
    QVariantMap written;
};

const QStringList kSavedOrder{"BackColor",   "Enabled",         "BorderStyle", "Picture",
                              "ToolTipText", "WhatsThisHelpID", "Max",         "Value",
                              "Percent",     "Caption",         "FillColor"};

TEST_F(QelProgressBarTest, PropertiesAreReadInOrderWithTheirDefaults) {
    RecordingBag bag;
    bar.ReadProperties(bag);
    EXPECT_EQ(bag.names, kSavedOrder);
    EXPECT_EQ(bag.defaults["BackColor"].toLongLong(), 0x8000000Fll);
    EXPECT_EQ(bag.defaults["Enabled"].toBool(), true);
    EXPECT_EQ(bag.defaults["BorderStyle"].toInt(), 1);
    EXPECT_TRUE(bag.defaults["Picture"].value<QPixmap>().isNull());
    EXPECT_EQ(bag.defaults["ToolTipText"].toString(), "");
    EXPECT_EQ(bag.defaults["Caption"].toString(), "");
    EXPECT_EQ(bag.defaults["FillColor"].toLongLong(), 0xFF0000ll);
    for (const char* zero : {"WhatsThisHelpID", "Max", "Value", "Percent"}) {
        EXPECT_EQ(bag.defaults[zero].toLongLong(), 0) << zero;
    }
    EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
    EXPECT_EQ(bar.FillColor(), 0xFF0000u);
}

TEST_F(QelProgressBarTest, PropertiesAreWrittenInTheSameOrder) {
    RecordingBag bag;
    bar.SetPercent(30);
    bar.WriteProperties(bag);
    EXPECT_EQ(bag.names, kSavedOrder);
    EXPECT_EQ(bag.written["Percent"].toInt(), 30);
    EXPECT_EQ(bag.written["Caption"].toString(), "30% ");
}

TEST_F(QelProgressBarTest, SavedPropertiesComeBackInANewBar) {
    bar.SetBackColor(0x123456);
    bar.SetEnabled(false);
    bar.SetBorderStyle(0);
    bar.SetToolTipText("saved tip");
    bar.SetWhatsThisHelpID(99);
    bar.SetMax(8);
    bar.SetValue(3);
    bar.SetFillColor(0x00FF00);
    MemoryPropertyBag bag;
    bar.WriteProperties(bag);
    // Only values that differ from their defaults are kept.
    EXPECT_FALSE(bag.Values().contains("Picture"));

    QelProgressBar loaded;
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.BackColor(), 0x123456u);
    EXPECT_FALSE(loaded.Enabled());
    EXPECT_EQ(loaded.BorderStyle(), 0);
    EXPECT_EQ(loaded.ToolTipText(), "saved tip");
    EXPECT_EQ(loaded.WhatsThisHelpID(), 99);
    EXPECT_EQ(loaded.Max(), 8);
    EXPECT_EQ(loaded.Value(), 3);
    EXPECT_EQ(loaded.Percent(), 38);
    EXPECT_EQ(loaded.lblCaption->text(), "38% ");
    EXPECT_EQ(loaded.FillColor(), 0x00FF00u);
}

TEST_F(QelProgressBarTest, LoadedPercentWithoutCaptionDrawsNothingUntilSetAgain) {
    MemoryPropertyBag bag(QVariantMap{{"Percent", 40}});
    QelProgressBar loaded;
    loaded.resize(200, 24);
    loaded.ReadProperties(bag);
    EXPECT_EQ(loaded.Percent(), 40);
    EXPECT_EQ(loaded.lblCaption->text(), "");
    EXPECT_TRUE(loaded.Picture1->isHidden() || loaded.Picture1->width() == 0);
    loaded.SetPercent(40);
    EXPECT_EQ(loaded.lblCaption->text(), "40% ");
}

TEST_F(QelProgressBarTest, UnusableSavedValuesFallBackToDefaults) {
    MemoryPropertyBag bag(QVariantMap{{"BorderStyle", 7},
                                      {"Max", "many"},
                                      {"BackColor", -2147483633},  // 0x8000000F as a signed Long
                                      {"WhatsThisHelpID", 1e12}});
    bar.ReadProperties(bag);
    EXPECT_EQ(bar.BorderStyle(), 1);
    EXPECT_EQ(bar.Max(), 0);
    EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
    EXPECT_EQ(bar.WhatsThisHelpID(), 0);
}

TEST_F(QelProgressBarTest, InitPropertiesZeroesTheNumbersWithoutRedrawing) {
    bar.SetPercent(60);
    bar.InitProperties();
    EXPECT_EQ(bar.Percent(), 0);
    EXPECT_EQ(bar.lblCaption->text(), "60% ");
}

TEST_F(QelProgressBarTest, BoxEventsArePassedOnWithTheirArguments) {
    QSignalSpy down(&bar, &QelProgressBar::MouseDown);
    QSignalSpy up(&bar, &QelProgressBar::MouseUp);
    QSignalSpy click(&bar, &QelProgressBar::Click);
    QSignalSpy doubleClick(&bar, &QelProgressBar::DblClick);
    const QPoint middle = bar.fillme->contentsRect().center();
    // The fill and the label lie on top of the box but leave it the mouse.
    bar.SetPercent(100);
    QTest::mouseClick(bar.fillme, Qt::LeftButton, Qt::ShiftModifier, middle);
    ASSERT_EQ(down.size(), 1);
    EXPECT_EQ(down[0][0].value<qint16>(), 1);
    EXPECT_EQ(down[0][1].value<qint16>(), 1);
    EXPECT_NEAR(down[0][2].toFloat(), 50.0f, 1.0f);
    EXPECT_NEAR(down[0][3].toFloat(), 0.5f, 0.1f);
    EXPECT_EQ(up.size(), 1);
    EXPECT_EQ(click.size(), 1);
    QTest::mouseDClick(bar.fillme, Qt::LeftButton, Qt::NoModifier, middle);
    EXPECT_EQ(doubleClick.size(), 1);
    QTest::mouseClick(bar.fillme, Qt::RightButton, Qt::ControlModifier, middle);
    EXPECT_EQ(down.last()[0].value<qint16>(), 2);
    EXPECT_EQ(down.last()[1].value<qint16>(), 2);
}

TEST_F(QelProgressBarTest, KeysArriveAsKeyCodesAndCharacterCodes) {
    QSignalSpy keyDown(&bar, &QelProgressBar::KeyDown);
    QSignalSpy keyPress(&bar, &QelProgressBar::KeyPress);
    QSignalSpy keyUp(&bar, &QelProgressBar::KeyUp);
    QTest::keyClick(bar.fillme, Qt::Key_A);
    QTest::keyClick(bar.fillme, Qt::Key_F1, Qt::AltModifier);
    QTest::keyClick(bar.fillme, Qt::Key_Return);
    // The Alt key itself goes down and up around F1.
    QList<qint16> codes;
    for (const auto& arguments : keyDown) {
        codes << arguments[0].value<qint16>();
    }
    EXPECT_EQ(codes, (QList<qint16>{65, 18, 112, 13}));
    EXPECT_EQ(keyDown[2][1].value<qint16>(), 4);
    EXPECT_EQ(keyDown[0][1].value<qint16>(), 0);
    ASSERT_EQ(keyPress.size(), 2);
    EXPECT_EQ(keyPress[0][0].value<qint16>(), 97);
    EXPECT_EQ(keyPress[1][0].value<qint16>(), 13);
    EXPECT_EQ(keyUp.size(), 4);
}

TEST_F(QelProgressBarTest, NewPictureRaisesChange) {
    QSignalSpy change(&bar, &QelProgressBar::Change);
    bar.SetPicture(QPixmap(2, 2));
    EXPECT_EQ(change.size(), 1);
}

TEST(OleColorTest, ColoursAreBlueGreenRedOrSystemColours) {
    EXPECT_EQ(TranslateColor(0xFF0000), QColor(Qt::blue));
    EXPECT_EQ(TranslateColor(0x0000FF), QColor(Qt::red));
    EXPECT_EQ(TranslateColor(0xFFFFFF), QColor(Qt::white));
    EXPECT_EQ(TranslateColor(0x8000000F), QGuiApplication::palette().color(QPalette::Button));
    EXPECT_EQ(ToOleColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
}

}  // namespace
}  // namespace orvelle::veilor64
