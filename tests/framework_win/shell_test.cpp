// Warning boxes, icons and the common dialogs, driven as a user would drive
// them: the test finds the dialog the platform shows and presses its buttons.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "core/text_string.h"
#include "framework/helpers.h"
#include "framework/shell_dialogs.h"
#include "framework/window_base.h"
#include "tests/framework_win/test_resources.h"
#include "tests/framework_win/window_test_support.h"

namespace {

struct BoxSeen {
    bool shown = false;
    std::vector<std::string> texts;
    std::string caption;
    bool hasIcon = false;
    bool otherWindowDisabled = false;
};

BOOL CALLBACK collectStatic(HWND child, LPARAM context)
{
    auto* seen = reinterpret_cast<BoxSeen*>(context);
    char className[32] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            seen->hasIcon = true;
        else
            seen->texts.push_back(windowText(child));
    }
    return TRUE;
}

// Shows the box through show, reads it and presses OK.
BoxSeen watchBox(void (*show)(const void*), const void* argument, HWND otherWindow)
{
    BoxSeen seen;
    ModalDriver driver([&](HWND box) {
        seen.shown = true;
        seen.caption = windowText(box);
        seen.otherWindowDisabled = otherWindow && !IsWindowEnabled(otherWindow);
        EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&seen));
        clickButton(box, IDOK);
        return true;
    });
    show(argument);
    EXPECT_FALSE(driver.timedOut());
    return seen;
}

bool contains(const std::vector<std::string>& texts, const std::string& text)
{
    for (const std::string& t : texts) {
        if (t == text)
            return true;
    }
    return false;
}

// MB_TOPMOST cannot be checked here: Wine does not show it in the box's
// extended styles.
TEST(WarningBox, TaskModalWarningWithDefaultCaption)
{
    WindowBase other;
    ASSERT_TRUE(other.createWindow(0, testWindowClass(), "other", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                   nullptr));
    WindowGuard guard(other.hwnd);
    const char* text = "ファイルを保存できませんでした。";
    BoxSeen seen = watchBox([](const void* t) { warningBox(static_cast<const char*>(t)); }, text, other.hwnd);
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(contains(seen.texts, text));
    EXPECT_TRUE(seen.hasIcon);
    EXPECT_FALSE(seen.caption.empty());
    // Task-modal: the thread's other top-level windows are disabled meanwhile.
    EXPECT_TRUE(seen.otherWindowDisabled);
    EXPECT_TRUE(IsWindowEnabled(other.hwnd));
}

TEST(WarningBox, MemberOfWindowBaseShowsTheSameBox)
{
    const char* text = "member box";
    BoxSeen seen = watchBox([](const void* t) { WindowBase().warningBox(static_cast<const char*>(t)); }, text,
                            nullptr);
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(contains(seen.texts, text));
    EXPECT_TRUE(seen.hasIcon);
}

TEST(WarningBox, ByIdShowsTheStringResourceInTheSystemCodePage)
{
    UINT id = IDS_JAPANESE;
    BoxSeen seen = watchBox([](const void* i) { warningBoxById(*static_cast<const UINT*>(i)); }, &id, nullptr);
    ASSERT_TRUE(seen.shown);
    // The literal is Shift-JIS in this program; the resource was UTF-8 text.
    EXPECT_TRUE(contains(seen.texts, "警告のテスト：ファイルを開けません。"));
}

TEST(WarningBox, ByIdCutsLongStringsAt255Bytes)
{
    UINT id = IDS_LONG;
    BoxSeen seen = watchBox([](const void* i) { warningBoxById(*static_cast<const UINT*>(i)); }, &id, nullptr);
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(contains(seen.texts, std::string(250, 'A') + "BCDEF"));
}

TEST(LoadIconResource, LoadsAtTheAskedSize)
{
    for (int size : {16, 32}) {
        HICON icon = loadIconResource(IDI_TEST, size);
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask = {};
        GetObjectA(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(mask.bmWidth, size);
        if (info.hbmColor) {
            BITMAP colour = {};
            GetObjectA(info.hbmColor, sizeof colour, &colour);
            EXPECT_EQ(colour.bmWidth, size);
            EXPECT_EQ(colour.bmHeight, size);
            DeleteObject(info.hbmColor);
        } else {
            EXPECT_EQ(mask.bmHeight, 2 * size);  // monochrome: mask and image stacked
        }
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_EQ(loadIconResource(IDI_MISSING, 32), nullptr);
}

// The folder where the dialogs are pointed, as a Windows path with a trailing
// separator.
std::string tempFolder()
{
    char path[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, path);
    return path;
}

// The edit control that takes the file name in the save dialog.
HWND fileNameEdit(HWND dialog)
{
    for (int id : {0x47c /* cmb13 */, 0x480 /* edt1 */}) {
        HWND item = GetDlgItem(dialog, id);
        if (!item)
            continue;
        char className[32] = {};
        GetClassNameA(item, className, sizeof className);
        if (lstrcmpiA(className, "Edit") == 0)
            return item;
        if (HWND edit = findChild(item, "Edit"))
            return edit;
    }
    return nullptr;
}

// Types name into the save dialog and presses its OK button.
std::function<bool(HWND)> typeAndSave(const std::string& name)
{
    return [name](HWND dialog) {
        HWND edit = fileNameEdit(dialog);
        if (!edit)
            return false;  // not ready yet
        SetWindowTextA(edit, name.c_str());
        clickButton(dialog, IDOK);
        return true;
    };
}

const char kPngFilter[] = "PNGﾌｧｲﾙ(*.png)\0*.png\0";

TEST(ChooseSaveFile, ReturnsTheFullPathWithTheDefaultExtension)
{
    const std::string folder = tempFolder();
    const std::string name = "tolvarinx-save-" + std::to_string(GetCurrentProcessId());
    TextString file(511);
    file.assign("suggested.png");
    bool chosen;
    {
        ModalDriver driver(typeAndSave(folder + name));
        chosen = chooseSaveFile(nullptr, kPngFilter, "png", folder.c_str(), true, true, file);
        EXPECT_FALSE(driver.timedOut());
    }
    ASSERT_TRUE(chosen);
    EXPECT_EQ(lstrcmpiA(file.c_str(), (folder + name + ".png").c_str()), 0) << file.c_str();
}

TEST(ChooseSaveFile, ReturnsOnlyTheNameWhenAsked)
{
    const std::string folder = tempFolder();
    TextString file;
    bool chosen;
    {
        ModalDriver driver(typeAndSave(folder + "only-name"));
        chosen = chooseSaveFile(nullptr, kPngFilter, "png", folder.c_str(), false, false, file);
        EXPECT_FALSE(driver.timedOut());
    }
    ASSERT_TRUE(chosen);
    EXPECT_STREQ(file.c_str(), "only-name.png");
}

TEST(ChooseSaveFile, CancelLeavesTheStringAlone)
{
    TextString file(511);
    file.assign("keep me.png");
    bool chosen;
    {
        ModalDriver driver([](HWND dialog) {
            if (!fileNameEdit(dialog))
                return false;
            clickButton(dialog, IDCANCEL);
            return true;
        });
        chosen = chooseSaveFile(nullptr, kPngFilter, "png", tempFolder().c_str(), true, true, file);
        EXPECT_TRUE(driver.acted());
    }
    EXPECT_FALSE(chosen);
    EXPECT_STREQ(file.c_str(), "keep me.png");
}

class BrowseFolderTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override { CoUninitialize(); }

    // Runs the browser at initialFolder and presses button once its tree is there.
    bool browse(const char* initialFolder, bool trim, int button, TextString& out)
    {
        ModalDriver driver([button](HWND dialog) {
            HWND tree = findChild(dialog, "SysTreeView32");
            if (!tree || !TreeView_GetSelection(tree))
                return false;
            clickButton(dialog, button);
            return true;
        });
        bool chosen = browseFolder(nullptr, "ﾌｫﾙﾀﾞ指定", initialFolder, out, trim);
        EXPECT_TRUE(driver.acted());
        return chosen;
    }
};

TEST_F(BrowseFolderTest, DriveRootIsTrimmedWhenAsked)
{
    TextString folder;
    ASSERT_TRUE(browse("C:\\", true, IDOK, folder));
    EXPECT_STREQ(folder.c_str(), "C:");
    ASSERT_TRUE(browse("C:\\", false, IDOK, folder));
    EXPECT_STREQ(folder.c_str(), "C:\\");
}

TEST_F(BrowseFolderTest, OtherFoldersComeBackWhole)
{
    char windows[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    TextString folder;
    ASSERT_TRUE(browse(windows, true, IDOK, folder));
    EXPECT_EQ(lstrcmpiA(folder.c_str(), windows), 0) << folder.c_str();
}

TEST_F(BrowseFolderTest, CancelLeavesTheStringAlone)
{
    TextString folder("D:\\pics");
    EXPECT_FALSE(browse("C:\\", true, IDCANCEL, folder));
    EXPECT_STREQ(folder.c_str(), "D:\\pics");
}

}  // namespace
