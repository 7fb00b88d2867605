// The progress window as the operations drive it: created for each operation,
// showing every progress point it has time for, gone afterwards.

#include "Cipher.h"
#include "MemoryCipherFiles.h"
#include "QelCaptionLabel.h"
#include "QelProgressBar.h"
#include "StatusWindow.h"
#include "Twips.h"
#include "Veilor.h"
#include "frmStatusBar.h"
#include "os/RuntimeError.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QScreen>

#include <gtest/gtest.h>

#include <random>

namespace orvelle::veilor64 {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
    std::mt19937 generator(static_cast<unsigned>(size));
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(generator());
    }
    return bytes;
}

// What the window looked like at one step of an operation.
struct Seen {
    std::string step;
    bool exists = false;
    bool visible = false;
    QString title;
    QString label;
    qint32 percent = -1;
};

// Passes every step to the window and notes the window's state right after.
class WatchingSink final : public IProgressSink {
public:
    explicit WatchingSink(StatusWindow& window) : window_(window) {}
    void Show() override {
        window_.Show();
        Note("show");
    }
    void Point(const ProgressPoint& point) override {
        window_.Point(point);
        Note(ProgressCaption(point));
    }
    void Close() noexcept override {
        window_.Close();
        Note("close");
    }
    std::vector<Seen> seen;

private:
    void Note(const std::string& step) {
        Seen state;
        state.step = step;
        if (frmStatusBar* window = window_.Window()) {
            state.exists = true;
            state.visible = window->isVisible();
            state.title = window->windowTitle();
            state.label = window->QelProgressBar1->lblCaption->text();
            state.percent = window->QelProgressBar1->Percent();
        }
        seen.push_back(state);
    }
    StatusWindow& window_;
};

const QString kCaption = QString::fromUtf8("Veilor 64-bit \xC2\xB7 Version 1.0");

class StatusWindowTest : public testing::Test {
protected:
    void Encrypt(StatusWindow& window, std::size_t length) {
        files.files["plain"] = RandomBytes(length);
        WatchingSink sink(window);
        Cipher(files, sink).Encrypt("abc", "plain", "out");
        seen = sink.seen;
    }

    MemoryCipherFiles files;
    std::vector<Seen> seen;
};

TEST_F(StatusWindowTest, ShortFileShowsTheFixedCaptionAndAnEmptyBarThenUnloads) {
    StatusWindow window(std::chrono::milliseconds(0));
    Encrypt(window, 7000);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].exists);
    EXPECT_TRUE(seen[0].visible);
    EXPECT_EQ(seen[0].title, kCaption);
    EXPECT_EQ(seen[0].label, "");
    EXPECT_EQ(seen[0].percent, 0);
    EXPECT_FALSE(seen[1].exists);
    EXPECT_EQ(window.Window(), nullptr);
}

TEST_F(StatusWindowTest, EveryPointSetsCaptionAndBarWhenNotThrottled) {
    StatusWindow window(std::chrono::milliseconds(0));
    Encrypt(window, 14336);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].title, "50% Complete - (7KB / 14KB )");
    EXPECT_EQ(seen[1].percent, 50);
    EXPECT_EQ(seen[1].label, "50% ");
    EXPECT_EQ(seen[2].title, "100% Complete - (14KB / 14KB )");
    EXPECT_EQ(seen[2].label, "100% ");
    EXPECT_FALSE(seen[3].exists);
}

TEST_F(StatusWindowTest, EachOperationStartsFromAnEmptyBar) {
    StatusWindow window(std::chrono::milliseconds(0));
    Encrypt(window, 14336);
    Encrypt(window, 14336);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].label, "");
    EXPECT_EQ(seen[0].percent, 0);
    EXPECT_EQ(seen[0].title, kCaption);
}

TEST_F(StatusWindowTest, FailureHidesAndUnloadsTheWindow) {
    StatusWindow window(std::chrono::milliseconds(0));
    WatchingSink sink(window);
    EXPECT_THROW(Cipher(files, sink).Encrypt("abc", "missing", "out"), os::RuntimeError);
    ASSERT_EQ(sink.seen.size(), 2u);
    EXPECT_TRUE(sink.seen[0].visible);
    EXPECT_FALSE(sink.seen[1].exists);
    EXPECT_EQ(window.Window(), nullptr);
}

TEST_F(StatusWindowTest, UpdatesAreThrottledByTime) {
    Clock::time_point now{};
    StatusWindow window(std::chrono::milliseconds(15), [&now] { return now; });
    window.Show();
    window.Point(MakeProgressPoint(7168, 71680));
    EXPECT_EQ(window.Window()->windowTitle(), kCaption);
    now += std::chrono::milliseconds(14);
    window.Point(MakeProgressPoint(14336, 71680));
    EXPECT_EQ(window.Window()->windowTitle(), kCaption);
    now += std::chrono::milliseconds(1);
    window.Point(MakeProgressPoint(21504, 71680));
    EXPECT_EQ(window.Window()->windowTitle(), "30% Complete - (21KB / 70KB )");
    EXPECT_EQ(window.Window()->QelProgressBar1->Percent(), 30);
    window.Close();
    EXPECT_EQ(window.Window(), nullptr);
}

// The caption of a large file is far wider than the designed window: the window
// grows (frame and bar with it) so that its title is never cut, and stays centred.
TEST_F(StatusWindowTest, TheTitleOfALargeFileIsNeverCut) {
    StatusWindow window(Clock::duration::zero());
    window.Show();
    frmStatusBar* form = window.Window();
    ASSERT_NE(form, nullptr);
    const int designed = form->width();
    const int bar = form->QelProgressBar1->width();
    const std::uint64_t total = std::uint64_t{1} << 40;  // a terabyte
    window.Point(MakeProgressPoint(total / 3, total));
    const QString widest = QString::fromStdString(ProgressCaption(MakeProgressPoint(total, total)));
    EXPECT_EQ(widest, QStringLiteral("100% Complete - (1073741824KB / 1073741824KB )"));
    const int text = QFontMetrics(QApplication::font()).horizontalAdvance(widest);
    EXPECT_GT(form->width(), text + 100) << "no room for the title beside the buttons";
    EXPECT_GT(form->width(), designed);
    EXPECT_EQ(form->QelProgressBar1->width() - bar, form->width() - designed);
    const double dpiX = form->screen()->logicalDotsPerInchX();
    EXPECT_EQ(form->fraProgress->width() - form->width(),
              TwipsToPixels(3255, dpiX) - TwipsToPixels(3240, dpiX));
    const QPoint centre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - centre).manhattanLength(), 2);
    // Later points keep the width: the window does not jump.
    const int fitted = form->width();
    window.Point(MakeProgressPoint(total / 2, total));
    EXPECT_EQ(form->width(), fitted);
    window.Close();
}

TEST_F(StatusWindowTest, WindowIsSizedInTwipsAndCentred) {
    StatusWindow window;
    window.Show();
    frmStatusBar* form = window.Window();
    ASSERT_NE(form, nullptr);
    const double dpiX = form->screen()->logicalDotsPerInchX();
    const double dpiY = form->screen()->logicalDotsPerInchY();
    EXPECT_EQ(form->size(), QSize(TwipsToPixels(3240, dpiX), TwipsToPixels(435, dpiY)));
    EXPECT_EQ(
        form->fraProgress->geometry(),
        QRect(0, TwipsToPixels(-90, dpiY), TwipsToPixels(3255, dpiX), TwipsToPixels(535, dpiY)));
    EXPECT_EQ(form->QelProgressBar1->geometry(),
              QRect(TwipsToPixels(30, dpiX), TwipsToPixels(120, dpiY), TwipsToPixels(3200, dpiX),
                    TwipsToPixels(380, dpiY)));
    EXPECT_EQ(form->QelProgressBar1->BackColor(), 0xFFFFFFu);
    const QPoint centre = form->screen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - centre).manhattanLength(), 2)
        << form->frameGeometry().x() << "," << form->frameGeometry().y() << " "
        << form->frameGeometry().width() << "x" << form->frameGeometry().height() << " in "
        << form->screen()->availableGeometry().width() << "x"
        << form->screen()->availableGeometry().height();
    window.Close();
}

TEST(TwipsTest, ConvertsAtTheGivenResolution) {
    EXPECT_EQ(TwipsToPixels(1440, 96), 96);
    EXPECT_EQ(TwipsToPixels(3240, 96), 216);
    EXPECT_EQ(TwipsToPixels(435, 96), 29);
    EXPECT_EQ(TwipsToPixels(-90, 96), -6);
    EXPECT_EQ(TwipsToPixels(3240, 144), 324);
}

TEST(VeilorControlTest, ProgressReachesTheHostAfterTheWindowAndNestedCallsFail) {
    auto owned = std::make_unique<MemoryCipherFiles>();
    MemoryCipherFiles& files = *owned;
    files.files["plain"] = RandomBytes(3 * 7168);
    Veilor control(std::move(owned), std::chrono::milliseconds(0));
    std::vector<std::string> captions;
    std::vector<std::int32_t> nested;
    control.SetProgressHandler([&](const ProgressPoint& point) {
        const frmStatusBar* window = control.Window().Window();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle().toStdString(), ProgressCaption(point));
        captions.push_back(ProgressCaption(point));
        try {
            control.Decrypt("abc", "plain", "other");
        } catch (const os::RuntimeError& error) {
            nested.push_back(error.Number());
        }
    });
    control.Encrypt("abc", "plain", "out");
    EXPECT_EQ(captions.size(), 3u);
    EXPECT_EQ(nested, (std::vector<std::int32_t>{5, 5, 5}));
    EXPECT_EQ(files.files["out"].size(), 3 * 7168u + 8);
    EXPECT_EQ(files.files.count("other"), 0u);
    EXPECT_EQ(control.Window().Window(), nullptr);
}

}  // namespace
}  // namespace orvelle::veilor64
