// Puts the desktop program into the states the README shows and asks for a
// screenshot of each: the main window with an image, the output dialog after
// a run, the open-file dialog with its preview, and the colour picker.
//
// The pictures themselves are taken outside Wine, from the X display, by
// scripts/screenshots.sh. For each shot this program writes <name>.rect into
// the exchange folder (left, top, width and height on the screen) and waits
// until the script has replaced it by <name>.done.
//
// Usage: tolvarinx_screenshots <Tolvarinx.exe> <work folder> <picture> <exchange folder>
// The work folder receives the program copy and its settings; the open-file
// dialog starts in the picture's folder. Exit code 0 when every shot was taken.

#include <windows.h>

#include <commctrl.h>
#include <dlgs.h>

#include <cstdio>
#include <string>

#include "tests/desktop_e2e/app_driver.h"

namespace {

constexpr DWORD kShotTimeoutMs = 30000;

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
    // The open-file dialog starts in the picture's folder, previews on.
    const std::string settings = "[Tolvarinx3]\r\nOptFlag=256\r\nOpenDir=" + folderOf(picture) + "\r\n";
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
    failures += !shooter.take("main-window", windowRect(main));

    // The output dialog after a test run.
    postButtonCommand(main, kIdTest);
    HWND output = waitForTopLevel(pid, kDialogClass, kOutputCaption);
    if (output && waitUntil([&] { return itemText(output, IDCANCEL) == "閉じる"; }, kRunTimeoutMs))
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
    return run(argv[1], argv[2], argv[3], argv[4]);
}
