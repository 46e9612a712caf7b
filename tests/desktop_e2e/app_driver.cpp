#include "tests/desktop_e2e/app_driver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>


namespace {

constexpr DWORD kPollMs = 15;
constexpr UINT kSendTimeoutMs = 5000;

struct EnumState {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM parameter)
{
    auto* state = reinterpret_cast<EnumState*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((state->pid == 0 || owner == state->pid) && IsWindowVisible(window))
        state->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK collectChild(HWND window, LPARAM parameter)
{
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

bool sameClass(HWND window, const char* windowClass)
{
    return _stricmp(className(window).c_str(), windowClass) == 0;
}

// Holds the clipboard open, retrying while another process has it.
class ClipboardScope {
public:
    ClipboardScope()
    {
        open_ = waitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 5000);
    }
    ~ClipboardScope()
    {
        if (open_)
            CloseClipboard();
    }
    ClipboardScope(const ClipboardScope&) = delete;
    ClipboardScope& operator=(const ClipboardScope&) = delete;
    bool open() const { return open_; }

private:
    bool open_ = false;
};

// A Unix path of the build (/...) as the Windows side sees it (Z:\...).
std::string windowsPath(const std::string& path)
{
    std::string out = path;
    if (!out.empty() && out[0] == '/')
        out = "Z:" + out;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

}  // namespace

bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return done();
        Sleep(kPollMs);
    }
}

std::string windowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length))
        return std::string();
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_NORMAL,
                             kSendTimeoutMs, &copied))
        return std::string();
    text.resize(strlen(text.c_str()));
    return text;
}

std::string className(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string itemText(HWND dialog, int id)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? windowText(item) : std::string();
}

std::vector<HWND> topLevelWindows(DWORD pid)
{
    EnumState state = {pid, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND findTopLevel(DWORD pid, const char* windowClass, const char* caption)
{
    for (HWND window : topLevelWindows(pid)) {
        if (windowClass && !sameClass(window, windowClass))
            continue;
        if (caption && caption[0] && windowText(window) != caption)
            continue;
        return window;
    }
    return nullptr;
}

HWND waitForTopLevel(DWORD pid, const char* windowClass, const char* caption, DWORD timeoutMs)
{
    HWND found = nullptr;
    waitUntil([&] { return (found = findTopLevel(pid, windowClass, caption)) != nullptr; }, timeoutMs);
    return found;
}

HWND findOtherDialog(DWORD pid, const std::vector<HWND>& known, int childId)
{
    for (HWND window : topLevelWindows(pid)) {
        if (!sameClass(window, kDialogClass))
            continue;
        bool isKnown = false;
        for (HWND other : known)
            isKnown = isKnown || other == window;
        if (isKnown)
            continue;
        if (childId != -1 && !GetDlgItem(window, childId))
            continue;
        return window;
    }
    return nullptr;
}

HWND waitForOtherDialog(DWORD pid, const std::vector<HWND>& known, int childId, DWORD timeoutMs)
{
    HWND found = nullptr;
    waitUntil([&] { return (found = findOtherDialog(pid, known, childId)) != nullptr; }, timeoutMs);
    return found;
}

bool waitGone(HWND window, DWORD timeoutMs)
{
    return waitUntil([window] { return IsWindow(window) == FALSE; }, timeoutMs);
}

std::vector<HWND> childWindows(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND findChildOfClass(HWND parent, const char* windowClass)
{
    for (HWND child : childWindows(parent))
        if (sameClass(child, windowClass))
            return child;
    return nullptr;
}

void postButtonCommand(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool sendButtonCommand(HWND dialog, int id, UINT timeoutMs)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), SMTO_NORMAL, timeoutMs,
                               &result) != 0;
}

void postMenuCommand(HWND window, int id)
{
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void postClick(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
}

int checkState(HWND dialog, int id)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &state);
    return static_cast<int>(state);
}

bool itemEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

int64_t screenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return -1;
    const COLORREF colour = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    if (colour == CLR_INVALID)
        return -1;
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

int64_t centrePixel(HWND window)
{
    RECT box = {};
    if (!GetWindowRect(window, &box))
        return -1;
    return screenPixel((box.left + box.right) / 2, (box.top + box.bottom) / 2);
}

int64_t waitForCentrePixel(HWND window, int64_t expected, DWORD timeoutMs)
{
    int64_t shown = -1;
    waitUntil([&] { return (shown = centrePixel(window)) == expected; }, timeoutMs);
    return shown;
}

bool putClipboardDib(int width, int height, int bitCount, const std::vector<uint32_t>& pixels)
{
    const int bytesPerPixel = bitCount / 8;
    const size_t stride = (static_cast<size_t>(width) * bytesPerPixel + 3) & ~size_t(3);
    const size_t size = sizeof(BITMAPINFOHEADER) + stride * height;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!block)
        return false;
    auto* bytes = static_cast<uint8_t*>(GlobalLock(block));
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(bytes);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;   // bottom-up
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitCount);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(stride * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes + sizeof(BITMAPINFOHEADER) + stride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const uint32_t word = pixels[static_cast<size_t>(y) * width + x];
            for (int b = 0; b < bytesPerPixel; ++b)
                row[x * bytesPerPixel + b] = static_cast<uint8_t>(word >> (8 * b));
        }
    }
    GlobalUnlock(block);
    ClipboardScope clipboard;
    if (!clipboard.open() || !EmptyClipboard() || !SetClipboardData(CF_DIB, block)) {
        GlobalFree(block);
        return false;
    }
    return true;   // the clipboard owns the block now
}

bool emptyClipboard()
{
    ClipboardScope clipboard;
    return clipboard.open() && EmptyClipboard();
}

std::wstring wideOfUtf8(const std::string& text)
{
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], units);
    wide.pop_back();
    return wide;
}

bool postDroppedFiles(HANDLE process, HWND window, const std::vector<std::string>& paths, POINT at)
{
    std::vector<uint8_t> block(sizeof(DROPFILES));
    auto* drop = reinterpret_cast<DROPFILES*>(block.data());
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = at;
    drop->fNC = FALSE;
    drop->fWide = TRUE;
    for (const std::string& path : paths) {
        const std::wstring wide = wideOfUtf8(path);
        const auto* bytes = reinterpret_cast<const uint8_t*>(wide.c_str());
        block.insert(block.end(), bytes, bytes + (wide.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), 0);
    // A fixed memory block is its own handle: GlobalLock gives it back as it is.
    void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return false;
    if (!WriteProcessMemory(process, remote, block.data(), block.size(), nullptr) ||
        !PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        return false;
    }
    return true;
}

AppInstall::AppInstall(const std::string& programPath, const std::string& folder)
{
    exe_ = folder + "\\Tolvarinx.exe";
    ready_ = CopyFileA(windowsPath(programPath).c_str(), exe_.c_str(), FALSE) != FALSE;
}

AppInstall::~AppInstall()
{
    for (const Child& child : children_) {
        if (WaitForSingleObject(child.process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(child.process, 1);
            WaitForSingleObject(child.process, 10000);
        }
        CloseHandle(child.process);
    }
}

std::string AppInstall::settingsPath() const
{
    return exe_.substr(0, exe_.rfind('\\')) + "\\Tolvarinx.ini";
}

DWORD AppInstall::start(const std::string& commandLineTail)
{
    std::wstring commandLine = L"\"" + wideOfUtf8(exe_) + L"\"";
    if (!commandLineTail.empty())
        commandLine += L" " + wideOfUtf8(commandLineTail);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const std::wstring folder = wideOfUtf8(exe_.substr(0, exe_.rfind('\\')));
    if (!CreateProcessW(wideOfUtf8(exe_).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return 0;
    CloseHandle(info.hThread);
    children_.push_back({info.dwProcessId, info.hProcess});
    return info.dwProcessId;
}

HANDLE AppInstall::processHandle(DWORD pid) const
{
    for (const Child& child : children_)
        if (child.pid == pid)
            return child.process;
    return nullptr;
}

int64_t AppInstall::waitExit(DWORD pid, DWORD timeoutMs)
{
    HANDLE process = processHandle(pid);
    if (!process || WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

void AppInstall::kill(DWORD pid)
{
    HANDLE process = processHandle(pid);
    if (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 10000);
    }
}

std::string MainWindowProbe::listText(HWND list, int row, int column) const
{
    constexpr SIZE_T kTextBytes = 1024;
    const SIZE_T blockSize = sizeof(LVITEMA) + kTextBytes;
    auto* remote = static_cast<uint8_t*>(VirtualAllocEx(process_, nullptr, blockSize, MEM_COMMIT, PAGE_READWRITE));
    if (!remote)
        return "<no memory in the program>";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<char*>(remote + sizeof(LVITEMA));
    item.cchTextMax = static_cast<int>(kTextBytes);
    std::string text = "<unreadable>";
    if (WriteProcessMemory(process_, remote, &item, sizeof item, nullptr)) {
        DWORD_PTR length = 0;
        if (SendMessageTimeoutA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote),
                                SMTO_NORMAL, kSendTimeoutMs, &length)) {
            std::string buffer(kTextBytes, '\0');
            if (ReadProcessMemory(process_, remote + sizeof(LVITEMA), &buffer[0], kTextBytes, nullptr)) {
                buffer.back() = '\0';
                text = buffer.c_str();
            }
        }
    }
    VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    return text;
}

int MainWindowProbe::findListRow(HWND list, const std::string& text) const
{
    DWORD_PTR count = 0;
    SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &count);
    for (int row = 0; row < static_cast<int>(count); ++row)
        if (_stricmp(listText(list, row, 0).c_str(), text.c_str()) == 0)
            return row;
    return -1;
}

bool MainWindowProbe::selectListRow(HWND list, int row) const
{
    if (row < 0)
        return false;   // -1 would select every row
    auto* remote = static_cast<LVITEMA*>(VirtualAllocEx(process_, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE));
    if (!remote)
        return false;
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    DWORD_PTR result = 0;
    const bool done = WriteProcessMemory(process_, remote, &item, sizeof item, nullptr) &&
                      SendMessageTimeoutA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                                          reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, kSendTimeoutMs, &result) &&
                      result != 0;
    VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    return done;
}

std::string MainWindowProbe::infoValue(int row) const
{
    return listText(GetDlgItem(window_, kIdInfoList), row, 1);
}

std::string MainWindowProbe::infoLabel(int row) const
{
    return listText(GetDlgItem(window_, kIdInfoList), row, 0);
}

int MainWindowProbe::infoRowCount() const
{
    DWORD_PTR count = 0;
    SendMessageTimeoutA(GetDlgItem(window_, kIdInfoList), LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, kSendTimeoutMs,
                        &count);
    return static_cast<int>(count);
}
