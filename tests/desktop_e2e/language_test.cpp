// The program in the language of the system: its main window, menus and
// dialogs show the catalogue's texts in the system's UI language (English on
// any system but a Japanese one); the English layouts fit their texts.

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/ui_text.h"
#include "tests/desktop_e2e/e2e_fixture.h"

namespace {

constexpr int kMenuConvertFolder = 40001;
constexpr int kIdFolderInput = 1201;

bool isAscii(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// The room a control's text needs besides the text: a check box's box, a
// button's edges, a group box's indent.
int textAllowance(HWND control)
{
    const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    if (className(control) != "Button")
        return 0;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON)
        return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    return type == BS_GROUPBOX ? 16 : 8;
}

// Every text of the window and its controls is English and fits its control
// in the English dialogs' font; so do the labels of the main window's list.
void expectEnglishThatFits(HWND window, const std::vector<std::string>& listLabels = {})
{
    EXPECT_TRUE(isAscii(windowText(window))) << windowText(window);
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontA(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, "MS Shell Dlg");
    HGDIOBJ previous = SelectObject(screen, font);
    for (HWND control : childWindows(window)) {
        const std::string kind = className(control);
        if (kind == "Static" && (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            continue;   // its text is the icon's resource id
        std::string text = windowText(control);
        EXPECT_TRUE(isAscii(text)) << text;
        if (text.empty() || (kind != "Button" && kind != "Static"))
            continue;
        text.erase(std::remove(text.begin(), text.end(), '&'), text.end());
        SIZE extent = {};
        GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &extent);
        RECT box = {};
        GetClientRect(control, &box);
        EXPECT_LE(extent.cx + textAllowance(control), box.right) << "\"" << text << "\" is cut off";
    }
    const LRESULT labelColumn = SendMessageA(GetDlgItem(window, kIdInfoList), LVM_GETCOLUMNWIDTH, 0, 0);
    for (const std::string& label : listLabels) {
        SIZE extent = {};
        GetTextExtentPoint32A(screen, label.c_str(), static_cast<int>(label.size()), &extent);
        EXPECT_LE(extent.cx + 8, labelColumn) << "\"" << label << "\" is cut off";
    }
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
}

// The catalogue's texts in the language of the system for one test: what the
// program must show.
class SystemTexts {
public:
    SystemTexts() { chooseTextLanguage(userTextLanguage()); }
    ~SystemTexts() { chooseTextLanguage(kTextLanguageCodes[kDefaultTextLanguage]); }
};

// Opens a dialog from the main window's menu, checks its caption (and, in
// English, that its texts fit), and closes it as Esc would.
void checkDialog(const MainWindowProbe& app, int command, int childId, Msg caption, bool english)
{
    postMenuCommand(app.hwnd(), command);
    HWND dialog = waitForOtherDialog(app.pid(), {app.hwnd()}, childId);
    ASSERT_NE(dialog, nullptr) << uiText(caption);
    EXPECT_EQ(windowText(dialog), uiText(caption));
    if (english)
        expectEnglishThatFits(dialog);
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(waitGone(dialog));
}

}  // namespace

// Run on a Japanese system with the other tests, and again on an English one
// (the test test_desktop_e2e_english).
TEST_F(DesktopTest, WindowsMenusAndDialogsSpeakTheSystemsLanguage)
{
    const SystemTexts texts;
    const bool english = std::string(textLanguage()) == "en";
    auto app = startApp();
    ASSERT_TRUE(app);
    const Msg labels[] = {Msg::InfoFileName,   Msg::InfoImageSize,  Msg::InfoAlpha,       Msg::InfoInputSize,
                          Msg::InfoOutputSize, Msg::InfoSizeChange, Msg::InfoOutputFormat};
    std::vector<std::string> shownLabels;
    for (int row = 0; row < 7; ++row) {
        shownLabels.push_back(app->infoLabel(row));
        EXPECT_EQ(shownLabels.back(), uiText(labels[row])) << "row " << row;
    }
    EXPECT_EQ(itemText(app->hwnd(), kIdOpenFile), uiText(Msg::MainOpenFile));
    if (english)
        expectEnglishThatFits(app->hwnd(), shownLabels);

    // The menu as Windows picks it from the program's resources for this system.
    HMODULE module = LoadLibraryExA(install->exePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(102));
    ASSERT_NE(menu, nullptr);
    char text[128] = {};
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, uiText(Msg::MenuFile));
    GetMenuStringA(menu, kMenuNoFilterCompare, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, uiText(Msg::MenuNoFilterCompare));
    DestroyMenu(menu);
    FreeLibrary(module);

    checkDialog(*app, kMenuConvertFolder, kIdFolderInput, Msg::FolderSettingsCaption, english);
    checkDialog(*app, kMenuAbout, kIdHomePage, Msg::AboutCaption, english);
}
