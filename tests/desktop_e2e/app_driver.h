#pragma once
// Drives the desktop program Tolvarinx.exe from another process, the way a
// user's actions reach it: it starts the program, finds its windows by
// process, class and caption, posts commands and keys, reads control texts and
// list-view rows across the process boundary, puts bitmaps on the clipboard
// and drops files on windows. Every wait polls a condition up to a deadline;
// nothing waits a fixed time.
//
// Texts are in the system code page on both sides (the driver runs in the same
// Wine prefix and locale as the program).

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Polls done() every few milliseconds until it is true or timeoutMs passed;
// returns done()'s last value.
bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Default deadline for a window to appear. The first common dialog of a new
// Wine prefix may take several seconds.
constexpr DWORD kWindowTimeoutMs = 30000;
// Deadline for a whole conversion run.
constexpr DWORD kRunTimeoutMs = 60000;

// Window helpers that work on windows of any process.
std::string windowText(HWND window);
std::string className(HWND window);
std::string itemText(HWND dialog, int id);
// Visible top-level windows of process pid (of every process when pid is 0),
// in z-order (topmost first).
std::vector<HWND> topLevelWindows(DWORD pid);
// The first visible top-level window of pid (0: any process) with that
// window class and caption (an empty caption matches any), or null.
HWND findTopLevel(DWORD pid, const char* windowClass, const char* caption);
// Waits for findTopLevel; null after timeoutMs.
HWND waitForTopLevel(DWORD pid, const char* windowClass, const char* caption,
                     DWORD timeoutMs = kWindowTimeoutMs);
// The first visible top-level dialog of pid that is none of `known` and that
// has a child with control id childId (any id when -1), or null.
HWND findOtherDialog(DWORD pid, const std::vector<HWND>& known, int childId = -1);
HWND waitForOtherDialog(DWORD pid, const std::vector<HWND>& known, int childId = -1,
                        DWORD timeoutMs = kWindowTimeoutMs);
// Waits until the window no longer exists.
bool waitGone(HWND window, DWORD timeoutMs = kWindowTimeoutMs);
// Descendants of parent, in creation order.
std::vector<HWND> childWindows(HWND parent);
// The first descendant of parent with that class (case-insensitive).
HWND findChildOfClass(HWND parent, const char* windowClass);

// Posts WM_COMMAND for a button of a dialog, as its click would.
void postButtonCommand(HWND dialog, int id);
// Sends WM_COMMAND for a button and waits for the handler to return; false
// when it did not return within timeoutMs (it opened a modal window, say).
bool sendButtonCommand(HWND dialog, int id, UINT timeoutMs);
// Posts WM_COMMAND with a menu command id.
void postMenuCommand(HWND window, int id);
// Clicks a button control as the user would (BM_CLICK, posted).
void postClick(HWND button);
// BM_GETCHECK of a dialog item.
int checkState(HWND dialog, int id);
bool itemEnabled(HWND dialog, int id);

// Copies the screen's pixel at (x, y) as 0x00RRGGBB, or -1.
int64_t screenPixel(int x, int y);
// The screen's pixel at the centre of a window, or -1.
int64_t centrePixel(HWND window);
// Waits up to timeoutMs for the window's centre pixel to become `expected`
// (a window repaints some time after the change that shows); returns the
// last pixel read.
int64_t waitForCentrePixel(HWND window, int64_t expected, DWORD timeoutMs = 5000);
// The two colours of the empty preview's checkerboard.
constexpr int64_t kCheckerLight = 0xF0F0F0;
constexpr int64_t kCheckerDark = 0xD0D0D0;

// Puts a 32-bit packed DIB (bottom-up rows of BGRA) on the clipboard as
// CF_DIB. pixels holds width * height words 0xAARRGGBB from the top row.
bool putClipboardDib(int width, int height, int bitCount, const std::vector<uint32_t>& pixels);
bool emptyClipboard();

// text (UTF-8) in UTF-16.
std::wstring wideOfUtf8(const std::string& text);

// Posts WM_DROPFILES to a window of another process, as the shell does after
// a drag from the file manager: the drop block (DROPFILES with UTF-16 paths,
// given here in UTF-8) is made in that process's memory, where the program's
// drop functions read it. The block stays there; it is a few hundred bytes
// per drop.
bool postDroppedFiles(HANDLE process, HWND window, const std::vector<std::string>& paths, POINT at);

// A copy of Tolvarinx.exe in a folder of its own (so that its settings file
// Tolvarinx.ini stays apart from every other run), and the processes started
// from it. Ends every process it started when destroyed.
class AppInstall {
public:
    // Copies the program into folder (which must exist).
    AppInstall(const std::string& programPath, const std::string& folder);
    ~AppInstall();
    AppInstall(const AppInstall&) = delete;
    AppInstall& operator=(const AppInstall&) = delete;

    bool ready() const { return ready_; }
    const std::string& exePath() const { return exe_; }
    std::string settingsPath() const;

    // Starts the program with the text after its name (may be empty). The
    // process id, or 0.
    DWORD start(const std::string& commandLineTail);
    // Waits for the process to end; its exit code, or -1 after the timeout.
    int64_t waitExit(DWORD pid, DWORD timeoutMs);
    // Ends the process at once.
    void kill(DWORD pid);
    HANDLE processHandle(DWORD pid) const;

private:
    struct Child {
        DWORD pid;
        HANDLE process;
    };
    std::string exe_;
    bool ready_ = false;
    std::vector<Child> children_;
};

// The program's main window and the things a test reads from it.
class MainWindowProbe {
public:
    MainWindowProbe(HANDLE process, DWORD pid, HWND window) : process_(process), pid_(pid), window_(window) {}

    HWND hwnd() const { return window_; }
    DWORD pid() const { return pid_; }
    // Column 1 of the info list's row (read with LVM_GETITEMTEXTA through
    // memory of the program's process).
    std::string infoValue(int row) const;
    std::string infoLabel(int row) const;
    int infoRowCount() const;
    // Column `column` of list view `list` in this process.
    std::string listText(HWND list, int row, int column) const;
    // The first row of list whose column 0 is text (case-insensitive), or -1.
    int findListRow(HWND list, const std::string& text) const;
    // Selects and focuses a row of list, as a click on it would.
    bool selectListRow(HWND list, int row) const;

private:
    HANDLE process_;
    DWORD pid_;
    HWND window_;
};

// Info-list rows.
constexpr int kRowFileName = 0;
constexpr int kRowImageSize = 1;
constexpr int kRowAlpha = 2;
constexpr int kRowInputSize = 3;
constexpr int kRowOutputSize = 4;
constexpr int kRowSizeChange = 5;
constexpr int kRowOutputFormat = 6;

// Control and command ids of the program (its resource script).
constexpr int kIdPreview = 1001;
constexpr int kIdOpenFile = 1051;
constexpr int kIdPasteOpaque = 1052;
constexpr int kIdPaste32 = 1053;
constexpr int kIdSwatch = 1054;
constexpr int kIdOverwrite = 1055;
constexpr int kIdSaveAs = 1056;
constexpr int kIdTest = 1057;
constexpr int kIdInfoList = 1101;
constexpr int kIdUseTransparent = 1151;
constexpr int kIdLog = 1201;
constexpr int kIdCloseWhenDone = 1151;
constexpr int kIdPreviewEnabled = 1002;
constexpr int kIdHomePage = 1051;   // in the About box
constexpr int kMenuExit = 40002;
constexpr int kMenuAbout = 40005;
constexpr int kMenuNoFilterCompare = 40003;
constexpr int kMenuNoDeflateCompare = 40004;
constexpr int kMenuCloseOutputDialog = 40007;
constexpr int kMenuExtendedOff = 40010;   // then levels 1 to 3 at 40011 to 40013
// Text of the message box's message (the platform's message-box template).
constexpr int kMessageBoxTextId = 0xFFFF;

constexpr const char* kDialogClass = "#32770";
constexpr const char* kMainCaption = "Tolvarinx";
constexpr const char* kOutputCaption = "出力";
