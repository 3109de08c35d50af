// Windows form of the reference host's platform services.
#include <windows.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "refhost/dib_win.h"
#include "refhost/platform.h"
#include "refhost/refhost.h"

namespace refhost {
namespace platform {

namespace {
std::string lastError() {
    DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = text ? text : ("error " + std::to_string(code));
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}
}  // namespace

void* openModule(const std::string& path, std::string& error) {
    HMODULE m = LoadLibraryA(path.c_str());
    if (!m) error = "cannot load " + path + ": " + lastError();
    return reinterpret_cast<void*>(m);
}

void* findSymbol(void* module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void closeModule(void* module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::string copyToTempDirectory(const std::string& path, std::string& error) {
    static std::atomic<unsigned> counter{0};
    char tmp[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof tmp, tmp);
    if (n == 0 || n > MAX_PATH) {
        error = "cannot find the temporary folder: " + lastError();
        return std::string();
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string dir = std::string(tmp) + "refhost-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(counter++);
        if (!CreateDirectoryA(dir.c_str(), nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            error = "cannot create " + dir + ": " + lastError();
            return std::string();
        }
        std::string target = dir + "\\" + baseName(path);
        if (!CopyFileA(path.c_str(), target.c_str(), TRUE)) {
            error = "cannot copy " + path + " to " + target + ": " + lastError();
            RemoveDirectoryA(dir.c_str());
            return std::string();
        }
        return target;
    }
    error = "cannot create a temporary folder";
    return std::string();
}

void removeTempCopy(const std::string& copyPath) {
    if (copyPath.empty()) return;
    DeleteFileA(copyPath.c_str());
    RemoveDirectoryA(directoryOf(copyPath).c_str());
}

namespace {
void removePartial() {
    if (const char* partial = pendingPartialFile()) DeleteFileA(partial);
}

extern "C" void removePartialAndDie(int signal) {
    removePartial();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Closing the console, logging off and shutting down reach a console
// program as control events, not signals; the system ends it after the
// handlers (Ctrl-C and Ctrl-Break go on to the runtime, which raises
// SIGINT and SIGBREAK).
BOOL WINAPI removePartialOnControlEvent(DWORD event) {
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) removePartial();
    return FALSE;
}

// A crash goes on to the filter that was there before (the runtime's, then
// the system's report), as it would have.
LPTOP_LEVEL_EXCEPTION_FILTER gPreviousFilter = nullptr;
LONG WINAPI removePartialOnCrash(EXCEPTION_POINTERS* exception) {
    removePartial();
    return gPreviousFilter ? gPreviousFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}
}  // namespace

// A process ended by TerminateProcess (Task Manager, taskkill /f) gets no
// chance to: its partial file stays.
void removePartialFileOnSignals() {
    for (int s : {SIGINT, SIGBREAK, SIGTERM, SIGABRT}) std::signal(s, removePartialAndDie);
    SetConsoleCtrlHandler(removePartialOnControlEvent, TRUE);
    gPreviousFilter = SetUnhandledExceptionFilter(removePartialOnCrash);
}

std::FILE* createFileBeside(const std::string& target, std::string& tempPath, std::string& error) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".partial-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        notePartialFile(tempPath);
        HANDLE h = CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            break;
        }
        CloseHandle(h);
        std::FILE* f = std::fopen(tempPath.c_str(), "wb");
        if (f) return f;
        DeleteFileA(tempPath.c_str());
        break;
    }
    error = "cannot create a file beside " + target + ": " + lastError();
    forgetPartialFile(tempPath);
    tempPath.clear();
    return nullptr;
}

namespace {
bool syncFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool synced = FlushFileBuffers(h) != 0;
    const DWORD code = GetLastError();
    CloseHandle(h);
    SetLastError(code);
    return synced;
}
}  // namespace

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    if (!syncFile(from)) {
        error = "cannot write " + from + " through to the disk: " + lastError();
        return false;
    }
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        forgetPartialFile(from);
        return true;
    }
    error = "cannot move " + from + " to " + to + ": " + lastError();
    return false;
}

void removeFile(const std::string& path) {
    if (path.empty()) return;
    DeleteFileA(path.c_str());
    forgetPartialFile(path);
}

int64_t fileSize(std::FILE* f) {
    struct _stati64 st;
    return _fstati64(_fileno(f), &st) == 0 ? int64_t(st.st_size) : -1;
}

void* lockBeside(const std::string& target, const std::function<void()>& beforeWaiting, std::string& error) {
    const std::string path = target + ".lock";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot make the lock file " + path + ": " + lastError();
        return nullptr;
    }
    OVERLAPPED whole{};
    BOOL locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole);
    if (!locked && GetLastError() == ERROR_LOCK_VIOLATION) {
        if (beforeWaiting) beforeWaiting();
        whole = OVERLAPPED{};
        locked = LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole);
    }
    if (!locked) {
        error = "cannot lock " + path + ": " + lastError();
        CloseHandle(h);
        return nullptr;
    }
    return h;
}

void unlockBeside(void* lock) {
    if (lock) CloseHandle(static_cast<HANDLE>(lock));  // closing the handle releases its lock
}

// ---------------------------------------------------------------------------
// Alerts: MessageBoxA on the plug-in's thread runs a modal loop that waits
// for a click.  A computer-based-training hook on that thread sees the box as
// it is activated; the host reads its text, records it and presses OK.

namespace {

const int kMessageBoxTextId = 0xFFFF;

struct AlertWatch {
    HHOOK hook = nullptr;     // set on the outermost watch of the thread only
    Host* host = nullptr;
    AlertWatch* outer = nullptr;
    std::vector<HWND> answered;  // a box can be activated more than once
};

thread_local AlertWatch* tWatch = nullptr;

std::vector<void*>& ownersOfAlerts() {
    static std::vector<void*> owners;
    return owners;
}

std::vector<VRect>& screenRectsOfAlerts() {
    static std::vector<VRect> rects;
    return rects;
}

BOOL CALLBACK onlyStaticsAndButtons(HWND child, LPARAM flag) {
    char cls[32] = {0};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") != 0 && lstrcmpiA(cls, "Button") != 0) {
        *reinterpret_cast<bool*>(flag) = false;
        return FALSE;
    }
    return TRUE;
}

// A message box: a dialog with the message text item and nothing but
// statics and buttons (the plug-in's own dialog has sliders and edits).
bool isMessageBox(HWND w) {
    char cls[16] = {0};
    if (!GetClassNameA(w, cls, sizeof cls) || std::strcmp(cls, "#32770") != 0) return false;
    if (!GetDlgItem(w, kMessageBoxTextId)) return false;
    bool only = true;
    EnumChildWindows(w, onlyStaticsAndButtons, reinterpret_cast<LPARAM>(&only));
    return only;
}

std::string windowText(HWND w) {
    if (!w) return std::string();
    int n = GetWindowTextLengthA(w);
    if (n <= 0) return std::string();
    std::string text(size_t(n) + 1, '\0');
    n = GetWindowTextA(w, &text[0], n + 1);
    text.resize(size_t(std::max(n, 0)));
    return text;
}

LRESULT CALLBACK alertHook(int code, WPARAM wParam, LPARAM lParam) {
    AlertWatch* watch = tWatch;
    if (code == HCBT_ACTIVATE && watch) {
        HWND w = reinterpret_cast<HWND>(wParam);
        if (isMessageBox(w) &&
            std::find(watch->answered.begin(), watch->answered.end(), w) == watch->answered.end()) {
            watch->answered.push_back(w);
            ownersOfAlerts().push_back(reinterpret_cast<void*>(GetWindow(w, GW_OWNER)));
            RECT r;
            GetWindowRect(w, &r);
            screenRectsOfAlerts().push_back(VRect{int32(r.top), int32(r.left), int32(r.bottom), int32(r.right)});
            watch->host->recordAlert(windowText(GetDlgItem(w, kMessageBoxTextId)));
            // Posted, so that the box's own loop ends it as a click on OK would.
            PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(watch ? watch->hook : nullptr, code, wParam, lParam);
}

}  // namespace

const std::vector<void*>& alertOwners() { return ownersOfAlerts(); }
const std::vector<VRect>& alertScreenRects() { return screenRectsOfAlerts(); }

bool drawDisplayCall(const DisplayCall& call) {
    HDC dc = static_cast<HDC>(call.platformContext);
    const int32 width = call.srcRect.right - call.srcRect.left, height = call.srcRect.bottom - call.srcRect.top;
    if (!dc || width <= 0 || height <= 0) return true;
    // Grey and RGB are drawn from the call's own samples; only Lab needs the
    // conversion to a picture first.
    Document converted;
    const uint8_t* samples = call.pixels.data();
    int16 step = call.planes;
    if (call.imageMode == plugInModeLabColor && call.planes == 3) {
        converted = displayCallImage(call);
        samples = converted.data();
        step = 3;
    } else if (call.planes != 1 && !(call.planes == 3 && call.imageMode == plugInModeRGBColor)) {
        return true;  // nothing this host can show
    }
    // A top-down 32-bit DIB, blue, green, red and a pad byte per pixel: the
    // display's own layout, so the system copies it without converting.
    std::vector<uint8_t> bits(size_t(int64_t(width) * height * 4));
    uint8_t* q = bits.data();
    const bool grey = step == 1;
    for (int64_t i = 0, n = int64_t(width) * height; i < n; ++i, samples += step, q += 4) {
        q[0] = samples[grey ? 0 : 2];
        q[1] = samples[grey ? 0 : 1];
        q[2] = samples[0];
    }
    const BITMAPINFO info = topDownBitmapInfo(width, height, 32);
    SetDIBitsToDevice(dc, call.dstCol, call.dstRow, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), bits.data(),
                      &info, DIB_RGB_COLORS);
    return true;
}

void* allocatePages(size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void freePages(void* pages, size_t) {
    if (pages) VirtualFree(pages, 0, MEM_RELEASE);
}

int processorCount() {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || !process) return 1;
    int n = 0;
    for (; process; process &= process - 1) ++n;
    return n;
}

OneProcessor::OneProcessor() {
    DWORD_PTR process = 0, system = 0, previous = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process)
        previous = SetThreadAffinityMask(GetCurrentThread(), process & (~process + 1));
    std::memcpy(saved_, &previous, sizeof previous);
}

OneProcessor::~OneProcessor() {
    DWORD_PTR previous = 0;
    std::memcpy(&previous, saved_, sizeof previous);
    if (previous) SetThreadAffinityMask(GetCurrentThread(), previous);
}

uint64_t physicalMemoryBytes() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? uint64_t(status.ullTotalPhys) : 0;
}

void* beginAlertCapture(Host& host) {
    AlertWatch* watch = new AlertWatch;
    watch->host = &host;
    watch->outer = tWatch;
    if (!watch->outer) {
        watch->hook = SetWindowsHookExA(WH_CBT, alertHook, nullptr, GetCurrentThreadId());
        if (!watch->hook) host.recordFault("cannot watch the plug-in's alerts: " + lastError());
    } else {
        watch->hook = watch->outer->hook;
    }
    tWatch = watch;
    return watch;
}

void endAlertCapture(void* token) {
    AlertWatch* watch = static_cast<AlertWatch*>(token);
    if (!watch) return;
    tWatch = watch->outer;
    if (!watch->outer && watch->hook) UnhookWindowsHookEx(watch->hook);
    delete watch;
}

}  // namespace platform
}  // namespace refhost
