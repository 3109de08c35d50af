// settings_check: settings files written by one build and read by another,
// and (Windows) the settings-file dialogs, driven by a hook that plays the
// user.  Built natively and for Windows; scripts/wine-test.sh runs it.
//
//   settings_check show          the exchange block, one line per entry
//   settings_check write FILE    saves the exchange block into FILE
//   settings_check read FILE     loads FILE over the defaults and shows the block (exit 1: not loaded)
//   settings_check dialogs DIR   (Windows) the dialog cases, working and taking screenshots in DIR
//   settings_check no-dialog     (Windows) a save and a load when the common dialogs cannot be looked up
//   settings_check dialog-error  (Windows) a save and a load whose dialogs fail (the stand-in comdlg32.dll)
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "host/globals.h"
#include "entry/params.h"
#include "engine/product.h"
#include "entry/settings_file.h"

#if defined(_WIN32)
#include <windows.h>

#include <deque>
#include <fstream>
#include <iterator>

#include "win/module_win.h"
#include "win/settings_dialogs_win.h"

// The plug-in's module instance; here the program's own.
HINSTANCE moduleInstance = GetModuleHandleA(nullptr);
#else
#include <Carbon.h>
#endif

namespace {

ParamBlock block;

double fromBits(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// Values whose bytes hold line feeds, carriage returns and 0x1A, signed
// zero, extremes and subnormals: what a text-mode stream or a conversion
// through another type would change.
void fillExchangeBlock() {
    const uint64_t patterns[] = {0x0A0D1A0A0D1A0A0Dull, 0x3FF00D0A1A0D0A1Aull, 0x400A0A0A0A0A0A0Aull,
                                 0x401A1A1A1A1A1A1Aull, 0x0D0D0D0D0D0D0D0Dull, 0x8000000000000000ull};
    int i = 0;
    for (uint64_t p : patterns) block.values[i++] = fromBits(p);
    for (double v : {0.2, -1e300, 1e-310, std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::denorm_min(), 255.0})
        block.values[i++] = v;
    for (; i < kParamValueCount; ++i) block.values[i] = i * -0.375;
    const uint8 flags[kParamFlagCount] = {1, 0, 1, 1, 0, 0, 1, 0, 1};
    for (int j = 0; j < kParamFlagCount; ++j) block.flags[j] = flags[j];
}

void fillDefaults() {
    block.flags = BooleanDefault;
    block.values = DefaultGUI;
}

std::string describeBlock() {
    std::string out;
    char line[64];
    for (int i = 0; i < kParamValueCount; ++i) {
        uint64_t bits;
        std::memcpy(&bits, &block.values[i], sizeof bits);
        std::snprintf(line, sizeof line, "value %d %016" PRIx64 "\n", i, bits);
        out += line;
    }
    for (int j = 0; j < kParamFlagCount; ++j) {
        std::snprintf(line, sizeof line, "flag %d %d\n", j, int(block.flags[j]));
        out += line;
    }
    return out;
}

#if defined(_WIN32)

// ---------------------------------------------------------------------------
// The user at the dialogs: a plan of steps, each for the next file dialog or
// message box that comes up.  A computer-based-training hook sees each one
// activated; a timer on it types the file name, takes the screenshot and
// presses the button, so the dialog has painted before the picture is taken.

const int kFileNameCombo = 0x47C, kFileNameEdit = 0x480, kMessageText = 0xFFFF;
const UINT_PTR kStepTimer = 0x5e77, kGuardTimer = 0x5e78;

struct Step {
    bool fileDialog;
    std::string fileName;  // typed into the file dialog; empty: nothing typed
    int button;
    std::string shot;  // screenshot file; empty: none
};

std::deque<Step> plan;
std::vector<std::string> messages;  // every message box's text, in order
std::vector<std::string> callbacks;
std::string shotDir;
HHOOK hook = nullptr;
HWND acting = nullptr;
// The file dialog last confirmed: it comes back for a moment after its
// overwrite prompt, before it closes.
HWND confirmed = nullptr;
int tick = 0, unplanned = 0;

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK matchControl(HWND child, LPARAM search) {
    ControlSearch* s = reinterpret_cast<ControlSearch*>(search);
    if (GetDlgCtrlID(child) != s->id) return TRUE;
    s->found = child;
    return FALSE;
}

HWND control(HWND dialog, int id) {
    ControlSearch s{id, nullptr};
    EnumChildWindows(dialog, matchControl, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::string windowText(HWND w) {
    char text[2048] = {0};
    if (w) GetWindowTextA(w, text, sizeof text);
    return text;
}

// The window as it is on the screen, as a 24-bit BMP file.
bool screenshot(HWND w, const std::string& path) {
    RECT r;
    if (!GetWindowRect(w, &r)) return false;
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file holds it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = dib != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, dib);
        ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
        GdiFlush();
        const DWORD rowBytes = DWORD((width * 3 + 3) & ~3), imageBytes = rowBytes * DWORD(height);
        BITMAPFILEHEADER file;
        ZeroMemory(&file, sizeof file);
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + imageBytes;
        info.bmiHeader.biSizeImage = imageBytes;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
        out.write(static_cast<const char*>(bits), imageBytes);
        ok = ok && bool(out);
        SelectObject(memory, old);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("screenshot %s: %s\n", path.c_str(), ok ? "taken" : "FAILED");
    return ok;
}

// A confirmed file dialog that stays is closed, so that nothing waits for ever.
void CALLBACK guardTimer(HWND w, UINT, UINT_PTR id, DWORD) {
    KillTimer(w, id);
    ++unplanned;
    std::printf("a confirmed file dialog stayed open, closed\n");
    PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

void CALLBACK stepTimer(HWND w, UINT, UINT_PTR id, DWORD) {
    if (plan.empty()) {
        KillTimer(w, id);
        return;
    }
    const Step& s = plan.front();
    switch (tick++) {
        case 0:
            if (!s.fileName.empty()) {
                HWND name = control(w, kFileNameCombo);
                if (!name) name = control(w, kFileNameEdit);
                SetWindowTextA(name, s.fileName.c_str());
            }
            break;
        case 1:
            if (!s.shot.empty()) screenshot(w, shotDir + "\\" + s.shot);
            break;
        default: {
            KillTimer(w, id);
            const int button = s.button;
            if (s.fileDialog) confirmed = w;
            plan.pop_front();
            acting = nullptr;
            PostMessageA(w, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), LPARAM(control(w, button)));
        }
    }
}

LRESULT CALLBACK activationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND w = reinterpret_cast<HWND>(wParam);
        char cls[16] = {0};
        GetClassNameA(w, cls, sizeof cls);
        if (w != acting && std::strcmp(cls, "#32770") == 0) {
            const bool fileDialog = control(w, kFileNameCombo) || control(w, kFileNameEdit);
            if (!fileDialog) {
                messages.push_back(windowText(control(w, kMessageText)));
                std::printf("message box: %s\n", messages.back().c_str());
            }
            if (!plan.empty() && plan.front().fileDialog == fileDialog) {
                acting = w;
                tick = 0;
                SetTimer(w, kStepTimer, 200, stepTimer);
            } else if (fileDialog && w == confirmed) {
                SetTimer(w, kGuardTimer, 5000, guardTimer);
            } else {
                // Nobody planned it: close it so that nothing waits for ever.
                ++unplanned;
                std::printf("unplanned %s, closed\n", fileDialog ? "file dialog" : "message box");
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(fileDialog ? IDCANCEL : IDOK, BN_CLICKED), 0);
            }
        }
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

void recordUpdate(HWND, bool recompute) { callbacks.push_back(recompute ? "update(recompute)" : "update(paint)"); }
void recordRefresh(HWND, int allow) { callbacks.push_back("refresh(" + std::to_string(allow) + ")"); }

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool noTemporaries(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*.saving-*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return true;
    std::printf("temporary left: %s\n", found.cFileName);
    FindClose(h);
    return false;
}

int failures = 0;

void check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    if (!ok) ++failures;
}

void checkMessages(const std::vector<std::string>& expected, const std::string& what) {
    bool same = messages == expected;
    check(same, what + ": the message boxes");
    if (!same)
        for (const std::string& m : expected) std::printf("  expected: %s\n", m.c_str());
}

// Runs one case: the plan, then the dialog call; every step must be used.
template <typename Call>
void runCase(const std::string& name, std::vector<Step> steps, Call call) {
    std::printf("== %s\n", name.c_str());
    plan.assign(steps.begin(), steps.end());
    messages.clear();
    callbacks.clear();
    unplanned = 0;
    confirmed = nullptr;
    call();
    check(plan.empty() && unplanned == 0, name + ": the dialogs came as planned");
}

const char* const kWriteError =
    "Error writing save file.  It may be read-only or the file name contains Unicode characters.";
const char* const kReadError =
    "Error encountered while reading settings.  Any settings/parameters loaded (if any) may be invalid.";

void save(HWND owner = nullptr) {
    saveSettings(owner, kSettingsFileFilter, kSettingsExtension, kSettingsMagic, makeParamStructure());
}
void load(HWND owner = nullptr) {
    loadSettings(owner, kSettingsFileFilter, kSettingsExtension, kSettingsMagic, makeParamStructure(), recordUpdate,
                 recordRefresh);
}

// Save steps that fail, through the save's file operations.
SettingsFileOps realOps;
void* noFile(const std::string&, std::string& temp) {
    temp.clear();
    return nullptr;
}
bool halfWrite(void* f, const void* bytes, size_t size) { return realOps.write(f, bytes, size / 2) && false; }

int runDialogCases(const std::string& dir) {
    // Full paths: the file dialogs change the current folder.
    char full[MAX_PATH];
    GetFullPathNameA(dir.c_str(), MAX_PATH, full, nullptr);
    const std::string folder = full;
    shotDir = folder;
    auto at = [&](const std::string& name) { return folder + "\\" + name; };
    const std::string ext = std::strcmp(kProductName, "Halvane") == 0 ? ".hlv" : ".glm";
    hook = SetWindowsHookExA(WH_CBT, activationHook, nullptr, GetCurrentThreadId());
    if (!hook) {
        std::printf("FAILED: no hook\n");
        return 1;
    }
    fillExchangeBlock();
    const std::string exchange = settingsFileBytes(makeParamStructure(), kSettingsMagic);
    const std::string saved = at("saved" + ext);

    runCase("save", {{true, saved, IDOK, "save-dialog.bmp"}}, [&] { save(); });
    check(slurp(saved) == exchange, "save: the file holds the parameters");
    checkMessages({}, "save");

    put(at("kept" + ext), "the old settings");
    runCase("overwrite answered No", {{true, at("kept" + ext), IDOK, ""}, {false, "", IDNO, "overwrite-prompt.bmp"},
                                      {true, "", IDCANCEL, ""}},
            [&] { save(); });
    check(slurp(at("kept" + ext)) == "the old settings", "overwrite answered No: the old file is kept");
    check(messages.size() == 1, "overwrite answered No: one prompt");

    runCase("overwrite answered Yes", {{true, at("kept" + ext), IDOK, ""}, {false, "", IDYES, ""}}, [&] { save(); });
    check(slurp(at("kept" + ext)) == exchange, "overwrite answered Yes: the file is replaced");

    runCase("save cancelled", {{true, at("never" + ext), IDCANCEL, ""}}, [&] { save(); });
    check(!exists(at("never" + ext)), "save cancelled: no file");
    checkMessages({}, "save cancelled");

    realOps = gSettingsFileOps;
    gSettingsFileOps.createBeside = noFile;
    put(at("old" + ext), "old");
    runCase("save that cannot create its file", {{true, at("old" + ext), IDOK, ""}, {false, "", IDYES, ""},
                                                 {false, "", IDOK, "write-error.bmp"}, {false, "", IDOK, ""}},
            [&] { save(); });
    gSettingsFileOps = realOps;
    messages.erase(messages.begin());  // the overwrite prompt
    checkMessages({kSettingsCannotCreateText, kWriteError}, "save that cannot create its file");
    gSettingsFileOps.write = halfWrite;
    runCase("save whose write fails", {{true, at("old" + ext), IDOK, ""}, {false, "", IDYES, ""},
                                       {false, "", IDOK, ""}},
            [&] { save(); });
    gSettingsFileOps = realOps;
    messages.erase(messages.begin());
    checkMessages({kWriteError}, "save whose write fails");
    check(slurp(at("old" + ext)) == "old" && noTemporaries(folder), "failed saves: the old file stays, no temporary");

    fillDefaults();
    runCase("open", {{true, saved, IDOK, "open-dialog.bmp"}}, [&] { load(); });
    fillExchangeBlock();
    const std::string expected = describeBlock();
    fillExchangeBlock();
    check(settingsFileBytes(makeParamStructure(), kSettingsMagic) == exchange, "open: the parameters were loaded");
    checkMessages({}, "open");
    check(callbacks == std::vector<std::string>{"update(recompute)", "refresh(0)"},
          "open: the preview is recomputed, then the controls set without updates");

    fillDefaults();
    const std::string defaults = describeBlock();
    runCase("open cancelled", {{true, "", IDCANCEL, ""}}, [&] { load(); });
    check(describeBlock() == defaults, "open cancelled: nothing changes");
    check(callbacks == std::vector<std::string>{"update(recompute)", "refresh(0)"},
          "open cancelled: preview and controls are refreshed all the same");

    put(at("other" + ext), std::string(300, 'x'));
    runCase("open of a file that is not ours", {{true, at("other" + ext), IDOK, ""}, {false, "", IDOK, "not-valid.bmp"},
                                                {false, "", IDOK, ""}},
            [&] { load(); });
    check(describeBlock() == defaults, "open of a file that is not ours: nothing changes");
    checkMessages({kSettingsNotValidText, kReadError}, "open of a file that is not ours");

    UnhookWindowsHookEx(hook);
    std::printf("%s\n", failures ? "dialog cases FAILED" : "dialog cases passed");
    return failures ? 1 : 0;
}

// Dialogs that fail: comdlg32 unavailable (the lookup fails), or the stand-in
// comdlg32.dll that fails with an extended error.  Either is one alert with
// the code; the load refreshes preview and controls all the same.
int runFailingDialogs(const std::string& expected) {
    hook = SetWindowsHookExA(WH_CBT, activationHook, nullptr, GetCurrentThreadId());
    fillDefaults();
    runCase("save", {{false, "", IDOK, ""}}, [&] { save(); });
    checkMessages({expected}, "save");
    runCase("load", {{false, "", IDOK, ""}}, [&] { load(); });
    checkMessages({expected}, "load");
    check(callbacks == std::vector<std::string>{"update(recompute)", "refresh(0)"}, "load: preview and controls");
    UnhookWindowsHookEx(hook);
    return failures ? 1 : 0;
}

#else

void printAlert(const char* text, void*) { std::printf("alert: %s\n", text); }

#endif

}  // namespace

int main(int argc, char** argv) {
    gParams = &block;
#if !defined(_WIN32)
    CarbonStandInSetAlertSink(printAlert, nullptr);
#endif
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "show" && argc == 2) {
        fillExchangeBlock();
        std::fputs(describeBlock().c_str(), stdout);
        return 0;
    }
    if (command == "write" && argc == 3) {
        fillExchangeBlock();
        return writeParamsToFile(makeParamStructure(), argv[2], kSettingsMagic) ? 0 : 1;
    }
    if (command == "read" && argc == 3) {
        fillDefaults();
        const bool loaded = loadParamsFromFile(makeParamStructure(), argv[2], kSettingsMagic);
        std::fputs(describeBlock().c_str(), stdout);
        return loaded ? 0 : 1;
    }
#if defined(_WIN32)
    if (command == "dialogs" && argc == 3) return runDialogCases(argv[2]);
    // 126: the module was not found.  12290: FNERR_INVALIDFILENAME, what the
    // stand-in gives when the request was right.
    if (command == "no-dialog" && argc == 2) return runFailingDialogs("(Vexlor) File dialog error:126");
    if (command == "dialog-error" && argc == 2) return runFailingDialogs("(Vexlor) File dialog error:12290");
#endif
    std::fprintf(stderr, "usage: settings_check show | write FILE | read FILE | dialogs DIR | no-dialog | dialog-error\n");
    return 2;
}
