#include <gtest/gtest.h>

#include <string>

#include "app/logic/app_settings.h"
#include "app/logic/main_window_rules.h"
#include "app/logic/output_dialog_rules.h"
#include "core/dib_image.h"
#include "core/text_string.h"
#include "core/ui_text.h"

namespace {

struct SaveOutcome {
    SaveAction action;
    std::string suggested;
};

SaveOutcome save(bool loaded, bool saveAs, const char* path)
{
    TextString input(path);
    TextString suggested("left over");
    const SaveAction action = decideSave(loaded, saveAs, input, suggested);
    return {action, suggested.c_str()};
}

}  // namespace

TEST(SaveDecision, OverwriteWritesOverPngInputsInAnyCase)
{
    for (const char* path : {"C:\\pics\\a.png", "C:\\pics\\a.PNG", "/tmp/b.Png"}) {
        const SaveOutcome outcome = save(true, false, path);
        EXPECT_EQ(outcome.action, SaveAction::OverwriteInput) << path;
    }
}

TEST(SaveDecision, OverwriteOfOtherInputsAsksWithTheBaseName)
{
    SaveOutcome outcome = save(true, false, "C:\\pics\\a.bmp");
    EXPECT_EQ(outcome.action, SaveAction::AskForName);
    EXPECT_EQ(outcome.suggested, "a");
    outcome = save(true, false, "C:\\pics\\anim.gif");
    EXPECT_EQ(outcome.action, SaveAction::AskForName);
    EXPECT_EQ(outcome.suggested, "anim");
    // ".png" in a folder name is no extension of the file.
    outcome = save(true, false, "C:\\x.png\\picture");
    EXPECT_EQ(outcome.action, SaveAction::AskForName);
    EXPECT_EQ(outcome.suggested, "picture");
    // "pngx" or "apng" is not "png".
    EXPECT_EQ(save(true, false, "a.pngx").action, SaveAction::AskForName);
    EXPECT_EQ(save(true, false, "a.apng").action, SaveAction::AskForName);
}

TEST(SaveDecision, SaveAsAlwaysAsks)
{
    const SaveOutcome outcome = save(true, true, "C:\\pics\\photo.final.png");
    EXPECT_EQ(outcome.action, SaveAction::AskForName);
    EXPECT_EQ(outcome.suggested, "photo.final");
}

TEST(SaveDecision, ClipboardInputAsksWithAnEmptyName)
{
    for (bool saveAs : {false, true}) {
        const SaveOutcome outcome = save(true, saveAs, "");
        EXPECT_EQ(outcome.action, SaveAction::AskForName);
        EXPECT_EQ(outcome.suggested, "");
    }
}

TEST(SaveDecision, NothingWithoutAnImage)
{
    EXPECT_EQ(save(false, false, "a.png").action, SaveAction::Nothing);
    EXPECT_EQ(save(false, true, "a.png").action, SaveAction::Nothing);
}

class TransparencyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(image.create(2, 2));
        image.setPixelAt(0, 0, 0x80112233u);   // top-left
        image.setPixelAt(1, 0, 0xFF445566u);
        image.setPixelAt(0, 1, 0xFF778899u);   // bottom-left, first in memory
        image.setPixelAt(1, 1, 0xFFAABBCCu);
    }
    DibImage image;
};

TEST_F(TransparencyTest, NoSourceColourTakesTheTopLeftPixel)
{
    image.hasAlpha = 0;
    const TransparencyControls controls = transparencyAfterLoad(image, -1);
    EXPECT_TRUE(controls.checkEnabled);
    EXPECT_FALSE(controls.checked);
    EXPECT_EQ(controls.swatchRgb, 0x112233u);
}

TEST_F(TransparencyTest, SourceColourTicksTheBox)
{
    image.hasAlpha = 0;
    const TransparencyControls controls = transparencyAfterLoad(image, 0x0A141E);
    EXPECT_TRUE(controls.checkEnabled);
    EXPECT_TRUE(controls.checked);
    EXPECT_EQ(controls.swatchRgb, 0x0A141Eu);
}

TEST_F(TransparencyTest, AlphaImageDisablesTheBox)
{
    image.hasAlpha = 1;
    const TransparencyControls controls = transparencyAfterLoad(image, -1);
    EXPECT_FALSE(controls.checkEnabled);
    EXPECT_FALSE(controls.checked);
    EXPECT_EQ(controls.swatchRgb, 0x112233u);
}

TEST(TransparencyForRun, TheBoxDecides)
{
    EXPECT_EQ(transparentColourForRun(false, 0x123456), -1);
    EXPECT_EQ(transparentColourForRun(true, 0x123456), 0x123456);
    EXPECT_EQ(transparentColourForRun(true, 0xFF123456u), 0x123456);   // never a stray alpha byte
    EXPECT_EQ(transparentColourForRun(true, 0xFFFFFF), 0xFFFFFF);       // white stays a colour, not -1
}

TEST(OptionCommands, EachMenuItemTogglesItsBit)
{
    EXPECT_EQ(optionBitOfCommand(40003), 0x0001);
    EXPECT_EQ(optionBitOfCommand(40004), 0x0002);
    EXPECT_EQ(optionBitOfCommand(40006), 0x0004);
    EXPECT_EQ(optionBitOfCommand(40007), 0x0200);
    EXPECT_EQ(optionBitOfCommand(40014), 0x1000);
    EXPECT_EQ(optionBitOfCommand(40015), 0x0010);
    // "拡張探索(&X)" is a submenu of levels (app_settings_test), no bit to toggle.
    for (int other : {40001, 40002, 40005, 40008, 40009, 40010, 40011, 40012, 40013, 1051, 2, 0})
        EXPECT_EQ(optionBitOfCommand(other), 0) << other;
    uint16_t bits = 0;
    for (int i = 0; i < kOptionCommandCount; ++i)
        bits |= optionBitOfCommand(optionCommandAt(i));
    EXPECT_EQ(bits, 0x1217);
}

TEST(ColourPicker, ClickMapsThroughZoomAndScroll)
{
    int32_t ix = -1;
    int32_t iy = -1;
    ASSERT_TRUE(pickerPixelAt(10, 20, 7, 9, 100, 100, ix, iy));
    EXPECT_EQ(ix, 11);
    EXPECT_EQ(iy, 22);
    ASSERT_TRUE(pickerPixelAt(0, 0, 0, 0, 1, 1, ix, iy));
    EXPECT_EQ(ix, 0);
    EXPECT_EQ(iy, 0);
    ASSERT_TRUE(pickerPixelAt(0, 0, 79, 79, 20, 20, ix, iy));
    EXPECT_EQ(ix, 19);
    EXPECT_EQ(iy, 19);
}

TEST(ColourPicker, ClickBeyondTheImagePicksNothing)
{
    int32_t ix = -1;
    int32_t iy = -1;
    EXPECT_FALSE(pickerPixelAt(0, 0, 80, 0, 20, 20, ix, iy));   // grey area right of a 20 px image
    EXPECT_FALSE(pickerPixelAt(0, 0, 0, 80, 20, 20, ix, iy));
    EXPECT_FALSE(pickerPixelAt(15, 0, 20, 0, 20, 20, ix, iy));
    EXPECT_FALSE(pickerPixelAt(0, 0, -1, 0, 20, 20, ix, iy));
    EXPECT_EQ(ix, -1);
    EXPECT_EQ(iy, -1);
}

// Each settings bit reaches exactly its own setting: the engine's option bits
// and the folder run's time stamps and transparent colour; no other bit does.
TEST(OutputDialogRules, EachSettingsBitReachesOnlyItsSetting)
{
    const ConversionSettings none = conversionSettingsOf(0, 0);
    EXPECT_EQ(none.options, 0);
    EXPECT_FALSE(none.keepTimeStamps || none.keepTransparent || none.replaceExisting || none.testRun);
    for (int bit = 0; bit < 16; ++bit) {
        const uint16_t flag = static_cast<uint16_t>(1u << bit);
        const ConversionSettings fromOpt = conversionSettingsOf(flag, 0);
        const bool engineBit = flag == OPT_NO_FILTER_COMPARE || flag == OPT_NO_DEFLATE_COMPARE ||
                               flag == OPT_NO_8BIT_COMPARE || flag == OPT_EXTENDED_SEARCH || flag == OPT_CLEAN_ALPHA;
        EXPECT_EQ(fromOpt.options, engineBit ? flag : 0) << "OptFlag bit " << bit;
        EXPECT_EQ(fromOpt.extendedLevel, flag == OPT_EXTENDED_SEARCH ? kDefaultExtendedLevel : 0) << bit;
        EXPECT_FALSE(fromOpt.keepTimeStamps || fromOpt.keepTransparent) << "OptFlag bit " << bit;
        const ConversionSettings fromDir = conversionSettingsOf(0, flag);
        EXPECT_EQ(fromDir.options, 0) << "DirFlag bit " << bit;
        EXPECT_EQ(fromDir.keepTimeStamps, flag == DIR_KEEP_TIMESTAMP) << "DirFlag bit " << bit;
        EXPECT_EQ(fromDir.keepTransparent, flag == DIR_KEEP_TRANSPARENT) << "DirFlag bit " << bit;
    }
}

TEST(OutputDialogRules, CompletionOutcomes)
{
    // Failure: a message only when the user did not stop the run; the box does not matter.
    for (bool box : {false, true}) {
        EXPECT_EQ(completionAction(false, false, box), CompletionAction::ReportFailure);
        EXPECT_EQ(completionAction(false, true, box), CompletionAction::EndWithFailure);
    }
    // Success: a stop pressed too late does not turn it into a failure.
    for (bool cancelled : {false, true}) {
        EXPECT_EQ(completionAction(true, cancelled, true), CompletionAction::EndWithSuccess);
        EXPECT_EQ(completionAction(true, cancelled, false), CompletionAction::OfferClose);
    }
    EXPECT_STREQ(uiText(Msg::OutputFailed), "出力に失敗しました");
}

TEST(OutputDialogRules, CloseBoxIsCopiedIntoOptFlag)
{
    EXPECT_EQ(optFlagAfterOutputDialog(0x0000, true), 0x0200);
    EXPECT_EQ(optFlagAfterOutputDialog(0x0200, false), 0x0000);
    EXPECT_EQ(optFlagAfterOutputDialog(0x8107, true), 0x8307);
    EXPECT_EQ(optFlagAfterOutputDialog(0x8307, false), 0x8107);
    EXPECT_EQ(optFlagAfterOutputDialog(0xFFFF, true), 0xFFFF);
}

TEST(OutputDialogRules, OnlyTheWorkersOwnReportIsTheCompletion)
{
    // The completion's number is also DM_SETDEFID, whose wParam is a control
    // id (1 is IDOK): it may arrive before, after or instead of the report.
    const struct {
        bool finished;
        int recorded;
        uintptr_t wParam;
        intptr_t lParam;
        bool taken;
    } cases[] = {
        {false, 1, 1, 0, true},                 // success reported
        {false, 0, 0, 0, true},                 // failure or stop reported
        {false, kNoCompletion, 1, 0, false},    // DM_SETDEFID(IDOK) while the worker runs
        {false, kNoCompletion, 0, 0, false},
        {false, kNoCompletion, 2, 0, false},
        {false, 0, 1, 0, false},                // a success claimed after a failure
        {false, 1, 0, 0, false},                // a failure claimed after a success
        {false, 1, 2, 0, false},                // DM_SETDEFID(IDCANCEL) once the worker is done
        {false, 1, 1, 1, false},                // not the worker's lParam
        {false, 1, 1, -1, false},
        {false, 1, uintptr_t(1) << 16 | 1, 0, false},
        {false, 7, 7, 0, false},                // no outcome the worker records
        {true, 1, 1, 0, false},                 // taken once
        {true, 0, 0, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isWorkerCompletion(c.finished, c.recorded, c.wParam, c.lParam), c.taken)
            << "finished " << c.finished << " recorded " << c.recorded << " wParam " << c.wParam << " lParam "
            << c.lParam;
}
