// Puts the desktop program into the states the README shows and asks for a
// screenshot of each: the main window with an image, the output dialog after
// a run, the open-file dialog with its preview, and the colour picker; and,
// to check the layouts in each language, the Options menu, the About box and
// the folder conversion's two dialogs. Runs in the system's language (the
// program's texts in it are the catalogue's).
//
// The pictures themselves are taken outside Wine, from the X display, by
// scripts/screenshots.sh. For each shot this program writes <name>.rect into
// the exchange folder (left, top, width and height on the screen) and waits
// until the script has replaced it by <name>.done.
//
// Usage: tolvarinx_screenshots <Tolvarinx.exe> <work folder> <picture> <exchange folder>
// The work folder receives the program copy, its settings and the folder
// conversion's outputs; the open-file dialog starts in the picture's folder,
// which the folder conversion converts. Exit code 0 when every shot was taken.

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include <cstdio>
#include <string>

#include "core/ui_text.h"
#include "tests/desktop_e2e/app_driver.h"

namespace {

constexpr DWORD kShotTimeoutMs = 30000;
constexpr int kMenuConvertFolder = 40001;
constexpr int kIdFolderInput = 1201;   // the folder settings' edits, output next
constexpr int kIdFolderOutput = 1202;
constexpr int kIdFolderResults = 1101;   // the progress dialog's list

std::string folderOf(const std::string& path)
{
    const size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string baseName(const std::string& path)
{
    const size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

RECT windowRect(HWND window)
{
    RECT box = {};
    GetWindowRect(window, &box);
    return box;
}

RECT unionOf(RECT a, RECT b)
{
    RECT both = {};
    UnionRect(&both, &a, &b);
    return both;
}

class Shooter {
public:
    explicit Shooter(std::string exchange) : exchange_(std::move(exchange)) {}

    // Asks for a shot of the screen rectangle, with a small margin, and waits
    // for it. False when the script did not answer.
    bool take(const char* name, RECT box)
    {
        const int margin = 6;
        const int left = box.left - margin < 0 ? 0 : box.left - margin;
        const int top = box.top - margin < 0 ? 0 : box.top - margin;
        char text[64];
        snprintf(text, sizeof text, "%d %d %d %d\n", left, top, int(box.right + margin - left),
                 int(box.bottom + margin - top));
        const std::string request = exchange_ + "\\" + name + ".rect";
        const std::string draft = request + ".tmp";
        FILE* file = fopen(draft.c_str(), "wb");
        if (!file)
            return false;
        fputs(text, file);
        fclose(file);
        // Renamed complete, so that the script never reads half a request.
        if (!MoveFileExA(draft.c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING))
            return false;
        const std::string done = exchange_ + "\\" + name + ".done";
        const bool answered =
            waitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, kShotTimeoutMs);
        printf("%s: %s\n", name, answered ? "taken" : "no answer");
        return answered;
    }

private:
    std::string exchange_;
};

int run(const std::string& program, const std::string& workFolder, const std::string& picture,
        const std::string& exchange)
{
    AppInstall install(program, workFolder);
    if (!install.ready()) {
        printf("cannot copy %s\n", program.c_str());
        return 1;
    }
    // The open-file dialog starts in the picture's folder, previews on; the
    // folder conversion takes every type.
    const std::string settings =
        "[Tolvarinx3]\r\nOptFlag=256\r\nDirFlag=448\r\nOpenDir=" + folderOf(picture) + "\r\n";
    FILE* ini = fopen(install.settingsPath().c_str(), "wb");
    if (!ini)
        return 1;
    fputs(settings.c_str(), ini);
    fclose(ini);

    const DWORD pid = install.start("\"" + picture + "\"");
    HWND main = pid ? waitForTopLevel(pid, kDialogClass, kMainCaption) : nullptr;
    if (!main) {
        printf("the program did not start\n");
        return 1;
    }
    MainWindowProbe app(install.processHandle(pid), pid, main);
    if (!waitUntil([&] { return !app.infoValue(kRowImageSize).empty(); }, kWindowTimeoutMs)) {
        printf("the picture did not load\n");
        return 1;
    }
    Shooter shooter(exchange);
    int failures = 0;
    // Painted whole before the first picture.
    RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    failures += !shooter.take("main-window", windowRect(main));

    // The Options menu, opened by its mnemonic as Alt+O would.
    PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, 'o');
    HWND menu = waitForTopLevel(pid, "#32768", nullptr);
    if (menu)
        failures += !shooter.take("options-menu", unionOf(windowRect(main), windowRect(menu)));
    else
        ++failures;
    for (int i = 0; i < 2 && menu; ++i)
        PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
    waitGone(menu);

    // The output dialog after a test run.
    postButtonCommand(main, kIdTest);
    HWND output = waitForOtherDialog(pid, {main}, kIdLog);
    if (output && waitUntil([&] { return itemText(output, IDCANCEL) == uiText(Msg::ButtonClose); }, kRunTimeoutMs))
        failures += !shooter.take("output-dialog", unionOf(windowRect(main), windowRect(output)));
    else
        ++failures;
    if (output) {
        postButtonCommand(output, IDCANCEL);
        waitGone(output);
    }

    // The open-file dialog with the picture selected and previewed.
    postButtonCommand(main, kIdOpenFile);
    HWND open = waitForOtherDialog(pid, {main}, cmb1);
    HWND list = open ? findChildOfClass(open, WC_LISTVIEWA) : nullptr;
    if (list && waitUntil([&] { return app.selectListRow(list, app.findListRow(list, baseName(picture))); },
                          kWindowTimeoutMs)) {
        // The preview is drawn once the selection has reached the hook.
        HWND pane = GetDlgItem(FindWindowExA(open, nullptr, kDialogClass, nullptr), 1001);
        waitUntil([&] {
            const int64_t shown = centrePixel(pane);
            return shown != kCheckerLight && shown != kCheckerDark;
        }, 5000);
        failures += !shooter.take("open-dialog", windowRect(open));
    } else {
        printf("no open-file dialog with a file list\n");
        ++failures;
    }
    if (open) {
        postButtonCommand(open, IDCANCEL);
        waitGone(open);
    }

    // The About box.
    postMenuCommand(main, kMenuAbout);
    HWND about = waitForOtherDialog(pid, {main}, kIdHomePage);
    failures += !about || !shooter.take("about-dialog", windowRect(about));
    if (about) {
        PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
        waitGone(about);
    }

    // The folder conversion: its settings with the picture's folder into the
    // work folder, and its progress dialog at the end of the run.
    postMenuCommand(main, kMenuConvertFolder);
    HWND folder = waitForOtherDialog(pid, {main}, kIdFolderInput);
    if (folder) {
        SendMessageA(GetDlgItem(folder, kIdFolderInput), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(folderOf(picture).c_str()));
        SendMessageA(GetDlgItem(folder, kIdFolderOutput), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(workFolder.c_str()));
        failures += !shooter.take("folder-settings", windowRect(folder));
        postButtonCommand(folder, IDOK);
    } else {
        ++failures;
    }
    HWND progress = folder ? waitForOtherDialog(pid, {main, folder}, kIdFolderResults) : nullptr;
    if (progress &&
        waitUntil([&] { return itemText(progress, IDCANCEL) == uiText(Msg::ButtonDone); }, kRunTimeoutMs)) {
        failures += !shooter.take("folder-progress", windowRect(progress));
    } else {
        ++failures;
    }
    if (progress) {
        postButtonCommand(progress, IDCANCEL);
        waitGone(progress);
    }

    // The colour picker over the main window.
    postButtonCommand(main, kIdSwatch);
    HWND picker = waitForTopLevel(pid, "General", nullptr);
    if (picker)
        failures += !shooter.take("colour-picker", unionOf(windowRect(main), windowRect(picker)));
    else
        ++failures;

    install.kill(pid);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        printf("usage: %s <Tolvarinx.exe> <work folder> <picture> <exchange folder>\n", argv[0]);
        return 2;
    }
    chooseTextLanguage(userTextLanguage());
    return run(argv[1], argv[2], argv[3], argv[4]);
}
