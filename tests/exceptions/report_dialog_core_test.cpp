// The report dialog's rules: its check boxes, its sizes and places, and the
// texts of its modules page.

#include "exceptions/report_dialog_core.h"

#include <gtest/gtest.h>

namespace exceptions {
namespace {

TEST(ReportDialogCore, CheckBoxesFollowDeliveryDuplicatesAndScreenshots) {
    const struct {
        int delivery;
        bool duplicate;
        bool attach;
        bool send, shot, enabled;
        int area;
    } cases[] = {
        {0, false, true, false, false, false, 20},  // not mailed: 20 pixels less
        {1, false, true, true, true, true, 34},
        {1, false, false, true, false, true, 20},
        {2, true, true, false, false, true, 20},  // a duplicate is not sent again
    };
    for (const auto& c : cases) {
        const TReportBoxes b = ReportBoxes(c.delivery, c.duplicate, c.attach);
        EXPECT_EQ(b.send_visible, c.send) << c.delivery << c.duplicate << c.attach;
        EXPECT_EQ(b.screenshot_visible, c.shot) << c.delivery << c.duplicate << c.attach;
        EXPECT_EQ(b.screenshot_enabled, c.enabled) << c.delivery;
        EXPECT_EQ(CheckBoxArea(b), c.area) << c.delivery << c.duplicate << c.attach;
    }
    // With the default of 3, the quit button comes with the fourth report.
    EXPECT_FALSE(QuitButtonVisible(true, 3, 3));
    EXPECT_TRUE(QuitButtonVisible(true, 4, 3));
    EXPECT_FALSE(QuitButtonVisible(false, 9, 3));
}

TEST(ReportDialogCore, TheCompactViewFitsItsTextWithinItsLimits) {
    TCompactMeasures m{60, 3, 3, 17, 20};  // a line of 10 characters
    EXPECT_EQ(CompactWidth(m), kCompactMinWidth);
    m.text_width = 500;
    EXPECT_EQ(CompactWidth(m), 500 + 16 + 6 + 58);
    m.text_width = 5000;
    EXPECT_EQ(CompactWidth(m), kCompactMaxWidth);
    // One line of 14 adds nothing to the fixed part; more lines add theirs.
    EXPECT_EQ(CompactHeight(m, 14), 6 + 17 + 86 + 20);
    EXPECT_EQ(CompactHeight(m, 70), 31 + 6 + 17 + 86 + 20);
}

TEST(ReportDialogCore, TheDetailedViewOpensWhereItWasInsideTheScreen) {
    const struct {
        TRememberedPlace place;
        TDialogRect expected;
    } cases[] = {
        {{640, 385, -1, -1}, {192, 181, 640, 405}},    // centred by default
        {{700, 400, 100, 50}, {100, 50, 700, 420}},    // as remembered
        {{700, 400, 900, 700}, {324, 348, 700, 420}},  // moved back onto the screen
        {{5000, 5000, 10, 10}, {0, 0, 1024, 768}},     // no larger than the screen
        {{0, -7, 10, 10}, {10, 10, 640, 405}},         // a damaged size: the default
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetailedBounds(c.place, 20, 1024, 768), c.expected)
            << c.place.width << "x" << c.place.height << "@" << c.place.left;
    }
}

TEST(ReportDialogCore, TheLayoutKeepsTheButtonsAboveTheCheckBoxes) {
    const TReportDialogLayout l = LayoutReportDialog(600, 400, 34, true);
    EXPECT_EQ(l.quit, (TDialogRect{5, 334, 75, 25}));
    EXPECT_EQ(l.ok, (TDialogRect{263, 334, 75, 25}));
    EXPECT_EQ(l.details, (TDialogRect{520, 334, 75, 25}));
    EXPECT_EQ(l.send, (TDialogRect{4, 368, 296, 16}));
    EXPECT_EQ(l.clipboard, (TDialogRect{300, 368, 296, 16}));
    EXPECT_EQ(l.screenshot, (TDialogRect{23, 384, 577, 16}));
    EXPECT_EQ(l.tabs, (TDialogRect{4, 52, 592, 282}));
    EXPECT_EQ(l.error_text, (TDialogRect{48, 8, 544, 42}));
    // Compact, the text takes the room above the buttons.
    EXPECT_EQ(LayoutReportDialog(300, 80, 20, false).error_text, (TDialogRect{48, 8, 244, 20}));
}

TEST(ReportDialogCore, ModuleVersionsSizesAndIcons) {
    EXPECT_EQ(ModuleVersionText("1.2.3.4"), "1.2.x");
    EXPECT_EQ(ModuleVersionText("10.0"), "10.0");
    EXPECT_EQ(ModuleVersionText(""), "");
    EXPECT_EQ(ModuleSizeText(1536), "2 Kb");  // 1.5: to the even 2
    EXPECT_EQ(ModuleSizeText(2560), "2 Kb");  // 2.5: to the even 2
    EXPECT_EQ(ModuleSizeText(2561), "3 Kb");
    EXPECT_EQ(ModuleSizeText(511), "0 Kb");
    EXPECT_EQ(ModuleRowIcon("game.EXE"), TRowIcon::kExecutable);
    EXPECT_EQ(ModuleRowIcon("rtl.bpl"), TRowIcon::kPackage);
    EXPECT_EQ(ModuleRowIcon("kernel32.dll"), TRowIcon::kLibrary);
    EXPECT_EQ(ModuleRowIcon("noextension"), TRowIcon::kLibrary);

    TVivavaDebugInfo entry;
    entry.Kind = TEntryKind::kDecoratedExport;
    EXPECT_FALSE(ShownOnCallStackPage(entry, true));
    EXPECT_TRUE(ShownOnCallStackPage(entry, false));
    entry.Kind = TEntryKind::kModule;
    EXPECT_FALSE(ShownOnCallStackPage(entry, false));
    entry.Kind = TEntryKind::kDebugData;
    EXPECT_TRUE(ShownOnCallStackPage(entry, true));
}

}  // namespace
}  // namespace exceptions
