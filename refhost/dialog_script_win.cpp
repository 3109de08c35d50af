// The dialog script, Windows form.  The plug-in's dialog runs modally on the
// thread that called the start selector; this thread finds it and sends it
// what a person's mouse and keyboard would, each message synchronously, then
// waits until the dialog has painted before it checks anything.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "refhost/dialog_script.h"
#include "refhost/dib_win.h"
#include "refhost/image_io_pnm.h"
#include "refhost/platform.h"
#include "refhost/refhost.h"

namespace refhost {

namespace {

const int kPreviewItem = 900, kOverviewItem = 913;
const int kFileNameCombo = 0x47c, kFileNameEdit = 0x480;
const DWORD kFindTimeoutMs = 120000;

// Cancels the creation of the first dialog window on the thread that set it,
// as a system out of window resources would; later windows (the alert that
// should follow) are made as usual.
bool dialogCreationRefused = false;
HHOOK dialogRefusalHook = nullptr;
LRESULT CALLBACK refuseFirstDialog(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && !dialogCreationRefused) {
        const CREATESTRUCTA* cs = reinterpret_cast<const CBT_CREATEWNDA*>(lParam)->lpcs;
        if (IS_INTRESOURCE(cs->lpszClass) && reinterpret_cast<ULONG_PTR>(cs->lpszClass) == ULONG_PTR(WC_DIALOG)) {
            dialogCreationRefused = true;
            return 1;
        }
    }
    return CallNextHookEx(dialogRefusalHook, code, wParam, lParam);
}

// What the dialog's thread took from its queue, seen by a hook on it: the
// serial of the last of the script's input events (they carry it as their
// extra info).
std::atomic<ULONG_PTR> inputTaken{0};
// Every message the dialog's thread took from its queue (paints included).
std::atomic<unsigned> messagesTaken{0};
// The leave notifications the dialog took.
std::atomic<HWND> leaveWatched{nullptr};
std::atomic<unsigned> dialogLeaves{0};
LRESULT CALLBACK noteInputTaken(int code, WPARAM removed, LPARAM lParam) {
    const MSG* m = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removed == PM_REMOVE) ++messagesTaken;
    const bool input = (m->message >= WM_MOUSEFIRST && m->message <= WM_MOUSELAST) ||
                       (m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST) ||
                       (m->message >= WM_NCMOUSEMOVE && m->message <= WM_NCXBUTTONDBLCLK);
    if (code == HC_ACTION && removed == PM_REMOVE && input) {
        const ULONG_PTR serial = ULONG_PTR(GetMessageExtraInfo());
        if (serial > inputTaken.load()) inputTaken = serial;
    }
    if (code == HC_ACTION && removed == PM_REMOVE && m->message == WM_MOUSELEAVE && m->hwnd == leaveWatched.load())
        ++dialogLeaves;
    return CallNextHookEx(nullptr, code, removed, lParam);
}

struct Command {
    int line;
    std::vector<std::string> words;
    std::string rest;  // everything after the first two words (typed text)
};

struct BlockLayout {
    uint8 flags[9];
    double values[26];
};

long number(const std::string& s) { return std::strtol(s.c_str(), nullptr, 0); }

// The line after its first n words and the blank that follows them.
std::string wordsAfter(const std::string& line, int n) {
    size_t at = line.find_first_not_of(" \t");
    for (int i = 0; i < n && at != std::string::npos; ++i) {
        at = line.find_first_of(" \t", at);
        if (at != std::string::npos) ++at;
    }
    return at == std::string::npos ? std::string() : line.substr(at);
}

bool sameBounds(const DisplayCall& d) {
    return d.srcRect.top == d.bounds.top && d.srcRect.left == d.bounds.left && d.srcRect.bottom == d.bounds.bottom &&
           d.srcRect.right == d.bounds.right;
}

BOOL CALLBACK findDialog(HWND w, LPARAM found) {
    char cls[16] = {0};
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && GetDlgItem(w, kPreviewItem) && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }
    return TRUE;
}

struct FileDialogSearch {
    HWND dialog, found;
};

// A common file dialog of the plug-in's thread: it has a file name field.
BOOL CALLBACK findFileDialog(HWND w, LPARAM p) {
    FileDialogSearch* f = reinterpret_cast<FileDialogSearch*>(p);
    char cls[16] = {0};
    GetClassNameA(w, cls, sizeof cls);
    if (w != f->dialog && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w) &&
        (GetDlgItem(w, kFileNameCombo) || GetDlgItem(w, kFileNameEdit)))
        f->found = w;
    return f->found == nullptr;
}

std::string windowText(HWND w) {
    char text[512] = {0};
    // WM_GETTEXT is answered by the dialog's thread; GetWindowText of another
    // thread's control would not ask it.
    SendMessageA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// What a control's text needs and the room its control gives it, in pixels,
// in the control's own font and as the control draws it.  known is false for
// a control that shows no text of its own (a trackbar, a picture).
struct TextFit {
    bool known = false;
    SIZE extent = {0, 0}, room = {0, 0};
    bool whole() const { return extent.cx <= room.cx && extent.cy <= room.cy; }
};

TextFit measureTextFit(HWND control, const std::string& text) {
    char cls[32] = {0};
    GetClassNameA(control, cls, sizeof cls);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    RECT client;
    GetClientRect(control, &client);
    TextFit fit;
    fit.room = SIZE{client.right, client.bottom};
    HDC dc = GetDC(control);
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    // DrawText's extent: access keys, tabs and line breaks as the control
    // draws them; a word wider than width widens the answer.
    auto drawnExtent = [&](UINT format, LONG width) {
        RECT r = {0, 0, width, 0};
        DrawTextA(dc, text.c_str(), int(text.size()), &r, format | DT_CALCRECT);
        return SIZE{r.right, r.bottom};
    };
    if (lstrcmpiA(cls, "Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_LEFTNOWORDWRAP) {
            fit.known = true;
            const UINT lines = type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
            fit.extent = drawnExtent(DT_EXPANDTABS | lines | (style & SS_NOPREFIX ? DT_NOPREFIX : 0), client.right);
        }
    } else if (lstrcmpiA(cls, "Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        const UINT lines = style & BS_MULTILINE ? DT_WORDBREAK : DT_SINGLELINE;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            fit.known = true;
            // Inside the button's 3-D edge.
            fit.room.cx -= 2 * GetSystemMetrics(SM_CXEDGE);
            fit.room.cy -= 2 * GetSystemMetrics(SM_CYEDGE);
            fit.extent = drawnExtent(lines, fit.room.cx);
        } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
            fit.known = true;
            // The box or circle (13 pixels at 96 dpi) and half a digit's
            // width between it and the text, as the system lays them out.
            INT digit = 0;
            GetCharWidth32A(dc, '0', '0', &digit);
            fit.room.cx -= 12 * GetDeviceCaps(dc, LOGPIXELSX) / 96 + 1 + digit / 2;
            fit.extent = drawnExtent(lines, fit.room.cx);
        }
    } else if (lstrcmpiA(cls, "Edit") == 0) {
        fit.known = true;
        // The formatting rectangle: the client area less the margins.
        RECT format = {0, 0, 0, 0};
        SendMessageA(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        fit.room = SIZE{format.right - format.left, format.bottom - format.top};
        GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &fit.extent);
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(control, dc);
    return fit;
}

// The face and pixel height of the font a window uses (WM_GETFONT).
std::string fontOf(HWND w) {
    HDC dc = GetDC(w);
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(w, WM_GETFONT, 0, 0));
    const HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    char face[LF_FACESIZE] = {0};
    GetTextFaceA(dc, sizeof face, face);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    if (old) SelectObject(dc, old);
    ReleaseDC(w, dc);
    return std::string(face) + ", " + std::to_string(metrics.tmHeight) + " px";
}

// The text an edit box should show for v, worked out apart from the
// plug-in's formatting: v with as many of five decimals as the box holds
// whole, trailing zeros dropped after the first decimal; else the whole
// number.
std::string expectedEditText(HWND edit, double v) {
    char text[64];
    for (int decimals = 5; decimals >= 1; --decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, v);
        std::string shown = text;
        while (shown.back() == '0' && shown[shown.size() - 2] != '.') shown.pop_back();
        if (measureTextFit(edit, shown).whole()) return shown;
    }
    std::snprintf(text, sizeof text, "%.0f", v);
    return text;
}

}  // namespace

struct DialogScript::Impl {
    Host& host;
    std::string shotPrefix;
    std::vector<Command> before, commands, after;
    std::thread thread;
    DWORD dialogThread = 0;
    HWND dialog = nullptr;
    int failures = 0, passes = 0;
    RECT minimumSize = {0, 0, 0, 0};  // the first sizing's answer
    std::vector<uint8_t> markedParams;
    int64_t openRefusal = 0;
    size_t markLog = 0, markDisplays = 0, markAlerts = 0;
    size_t startLog = 0;  // the allocation log's length when the start call began
    HHOOK refuseDialog = nullptr;  // open-refuse-dialog: cancels the creation of the first dialog
    std::vector<uint8_t> openedParams;  // before the start call
    std::atomic<bool> done{false};

    Impl(Host& h, const std::string& prefix) : host(h), shotPrefix(prefix) {}

    void check(bool ok, const Command& c, const std::string& what) {
        if (ok) {
            ++passes;
            std::printf("ok: line %d: %s\n", c.line, what.c_str());
        } else {
            ++failures;
            std::printf("FAILED: line %d: %s\n", c.line, what.c_str());
        }
        std::fflush(stdout);
    }

    // Item 0 is the dialog itself.
    HWND item(int id) { return id == 0 ? dialog : GetDlgItem(dialog, id); }

    // What GDI drew into a window reaches the screen later: Wine's X11
    // driver copies each window's drawing to the X server when a thread of
    // the process waits for messages, the dialog's own thread only once it
    // next idles.  A wait of no time on this thread copies them all now.
    static void drawingToScreen() { MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0); }

    // The dialog has handled everything sent so far and painted what that
    // invalidated, and the painting has reached the screen.
    void settle() {
        for (int round = 0; round < 400 && IsWindow(dialog); ++round) {
            RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            SendMessageA(dialog, WM_NULL, 0, 0);
            if (!GetUpdateRect(dialog, nullptr, FALSE)) break;
            Sleep(5);
        }
        SendMessageA(dialog, WM_NULL, 0, 0);
        drawingToScreen();
    }

    POINT itemPoint(int id, int dx, int dy) {
        RECT r = {0, 0, 0, 0};
        if (id != 0) {
            GetWindowRect(item(id), &r);
            MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
        }
        return POINT{(r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2 + dy};
    }

    BlockLayout params() {
        std::vector<uint8_t> bytes;
        {
            auto lock = host.lockState();
            bytes = host.parameterBytes();
        }
        BlockLayout b = {};
        if (bytes.size() >= sizeof b) std::memcpy(&b, bytes.data(), sizeof b);
        return b;
    }

    // Recomputes since the mark.  The proxies are a pair of buffers of one
    // size taken one after the other and kept (or freed oldest first when
    // replaced); a recompute takes two of that size one after the other and
    // frees them at once in reverse order.
    int recomputesSinceMark() {
        auto lock = host.lockState();
        const auto& log = host.buffers().log();
        std::map<BufferID, size_t> freedAt;
        for (size_t i = 0; i < log.size(); ++i)
            if (!log[i].allocation) freedAt[log[i].id] = i;
        auto freed = [&](BufferID id) {
            auto it = freedAt.find(id);
            return it == freedAt.end() ? log.size() : it->second;
        };
        std::set<int32> proxySizes;
        std::vector<size_t> transientPairs;
        for (size_t i = 0; i + 1 < log.size(); ++i) {
            const auto &a = log[i], &b = log[i + 1];
            if (!a.allocation || !b.allocation || !a.id || !b.id || a.size != b.size) continue;
            const size_t fa = freed(a.id), fb = freed(b.id);
            if (fb < log.size() && fa == fb + 1)
                transientPairs.push_back(i);
            else if (fa <= fb)
                proxySizes.insert(a.size);
        }
        // The engine's own pairs of that size lie inside the recompute's.
        int count = 0;
        size_t end = 0;
        for (size_t i : transientPairs) {
            if (i < end || !proxySizes.count(log[i].size)) continue;
            end = freed(log[i].id);
            count += i >= markLog;
        }
        return count;
    }

    bool inItem(int id, int32 row, int32 col) {
        RECT r;
        GetWindowRect(item(id), &r);
        MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
        return col >= r.left && col < r.right && row >= r.top && row < r.bottom;
    }

    std::vector<DisplayCall> previewDisplaysSinceMark() {
        auto lock = host.lockState();
        std::vector<DisplayCall> calls;
        for (size_t i = markDisplays; i < host.displayCalls().size(); ++i)
            if (inItem(kPreviewItem, host.displayCalls()[i].dstRow, host.displayCalls()[i].dstCol))
                calls.push_back(host.displayCalls()[i]);
        return calls;
    }

    void mark() {
        auto lock = host.lockState();
        markLog = host.buffers().log().size();
        markDisplays = host.displayCalls().size();
        markAlerts = host.alerts().size();
        markedParams = host.parameterBytes();
    }

    // What the screen shows in r (screen coordinates), as an RGB document.
    static Document capture(const RECT& r) {
        drawingToScreen();
        const int w = r.right - r.left, h = r.bottom - r.top;
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        const BITMAPINFO info = topDownBitmapInfo(w, h, 32);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        Document shot(plugInModeRGBColor, w, h);
        const uint8_t* p = static_cast<const uint8_t*>(bits);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x, p += 4)
                for (int16 ch = 0; ch < 3; ++ch) shot.set(x, y, ch, p[2 - ch]);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return shot;
    }

    // The screen in r once it holds still: two captures 20 ms apart alike,
    // within two seconds; false when it kept changing.
    static bool steadyCapture(const RECT& r, Document& shot) {
        shot = capture(r);
        for (int i = 0; i < 100; ++i) {
            Sleep(20);
            Document again = capture(r);
            if (again == shot) return true;
            shot = std::move(again);
        }
        return false;
    }

    void screenshot(const Command& c, const std::string& name) {
        RECT r;
        GetWindowRect(dialog, &r);
        const Document shot = capture(r);
        const std::string path = shotPrefix + name + ".ppm";
        imageio::writePnmFile(shot, path);
        check(true, c,
              "screenshot " + path + " (" + std::to_string(shot.width()) + " x " + std::to_string(shot.height()) +
                  ")");
    }

    // The last preview and the last overview picture that the dialog handed
    // to the host are on the screen where they were drawn, sample for
    // sample: a picture erased or painted over since shows.  Where an alert
    // stood the system may have asked the dialog to paint again, which after
    // a host error it no longer does; those pixels are not looked at.
    //
    // The screen is compared once, when it holds still and the dialog drew
    // and alerted nothing while it was captured: the record then describes
    // what the capture shows.  A picture that is wrong stays wrong on a still
    // screen, so waiting for one hides no fault.
    void picturesShown(const Command& c) {
        settle();
        RECT client;
        GetClientRect(dialog, &client);
        POINT origin = {0, 0};
        ClientToScreen(dialog, &origin);
        const RECT shown = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
        auto recorded = [this] {
            auto lock = host.lockState();
            return std::make_pair(host.displayCalls().size(), platform::alertScreenRects().size());
        };
        Document screen;
        bool still = false;
        for (int round = 0; round < 5 && !still; ++round) {
            const auto before = recorded();
            still = steadyCapture(shown, screen) && recorded() == before;
        }
        if (!still) {
            check(false, c, "the screen over the dialog did not hold still while nothing was drawn");
            return;
        }
        std::vector<DisplayCall> last;
        std::vector<RECT> alerts;
        {
            auto lock = host.lockState();
            for (const VRect& a : platform::alertScreenRects()) {
                RECT r = {a.left, a.top, a.right, a.bottom};
                MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
                alerts.push_back(r);
            }
            const DisplayCall *preview = nullptr, *overview = nullptr;
            for (const DisplayCall& d : host.displayCalls())
                (inItem(kPreviewItem, d.dstRow, d.dstCol) ? preview : overview) = &d;
            for (const DisplayCall* d : {preview, overview})
                if (d) last.push_back(*d);
        }
        if (last.size() != 2) {
            check(false, c, "the dialog has not displayed both pictures");
            return;
        }
        int64_t looked = 0, wrong = 0;
        RECT differing = {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
        for (const DisplayCall& d : last) {
            const Document drawn = displayCallImage(d);
            for (int32 y = 0; y < drawn.height(); ++y)
                for (int32 x = 0; x < drawn.width(); ++x) {
                    const int32 sx = d.dstCol + x, sy = d.dstRow + y;
                    if (sx < 0 || sy < 0 || sx >= screen.width() || sy >= screen.height()) continue;
                    bool underAlert = false;
                    for (const RECT& a : alerts) underAlert = underAlert || PtInRect(&a, POINT{sx, sy});
                    if (underAlert) continue;
                    ++looked;
                    bool same = true;
                    for (int16 ch = 0; ch < 3; ++ch)
                        same = same && screen.get(sx, sy, ch) == drawn.get(x, y, drawn.planes() == 1 ? 0 : ch);
                    if (same) continue;
                    ++wrong;
                    differing = RECT{std::min<LONG>(differing.left, sx), std::min<LONG>(differing.top, sy),
                                     std::max<LONG>(differing.right, sx + 1), std::max<LONG>(differing.bottom, sy + 1)};
                }
        }
        check(looked > 0 && wrong == 0, c,
              std::to_string(wrong) + " of the " + std::to_string(looked) +
                  " pixels of the last preview and overview pictures outside alerts differ on the screen" +
                  (wrong ? ", from " + std::to_string(differing.left) + "," + std::to_string(differing.top) +
                               " to " + std::to_string(differing.right) + "," + std::to_string(differing.bottom)
                         : std::string()));
    }

    // A key pressed with the focus on OK, the default button (a drag may
    // have left the focus on a pane).
    void key(WPARAM vk) {
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDOK)), TRUE);
        PostMessageA(item(IDOK), WM_KEYDOWN, vk, 1);
        PostMessageA(item(IDOK), WM_KEYUP, vk, LPARAM(0xC0000001));
    }

    // --- A person's hands ----------------------------------------------------
    // The mouse and the keyboard as real input.  SendInput hands each event
    // to the system's input queue, where Wine's X11 driver puts the events of
    // the X server's own pointer and keyboard: the system then finds the
    // window (the one under the pointer, the one holding the capture, the
    // one with the focus), asks it for its hit test and its cursor and posts
    // the button, move and key messages to its thread.  Nothing is sent to
    // the dialog or its controls directly.
    HHOOK inputSeenHook = nullptr;
    ULONG_PTR inputSerial = 0;
    struct UnhookAtEnd {
        HHOOK& hook;
        ~UnhookAtEnd() {
            if (hook) UnhookWindowsHookEx(hook);
        }
    } unhookInputSeen{inputSeenHook};

    // Sends the events, tagged with a serial, and waits until the dialog's
    // thread has taken the last of them from its queue and handled it.
    bool sendInput(std::vector<INPUT> events) {
        if (!inputSeenHook) {
            leaveWatched = dialog;
            inputSeenHook = SetWindowsHookExA(WH_GETMESSAGE, noteInputTaken, nullptr, dialogThread);
            // The dialog's thread learns of a new hook at its next call to
            // the system: a message it answers is one.
            settle();
        }
        const ULONG_PTR serial = ++inputSerial;
        for (INPUT& e : events) (e.type == INPUT_MOUSE ? e.mi.dwExtraInfo : e.ki.dwExtraInfo) = serial;
        // Mouse events over no window of the dialog's thread, without its
        // capture, go to another window: they are only sent.
        const bool forDialog = events[0].type == INPUT_KEYBOARD || dialogThreadGetsPointer(events.back());
        if (SendInput(UINT(events.size()), events.data(), sizeof(INPUT)) != events.size()) return false;
        for (int i = 0; forDialog && i < 2000 && inputTaken.load() < serial; ++i) Sleep(5);
        settleControls();
        return !forDialog || inputTaken.load() >= serial;
    }

    // As settle, and the controls have painted too: a trackbar tells the
    // dialog of its new position only as it paints, and that paint may
    // recompute.  The dialog's thread is idle when it took no message for a
    // while, answered a sent one after that (so it finished what it took
    // before), and no window of the dialog waits for a paint.
    void settleControls() {
        for (int round = 0; round < 400; ++round) {
            settle();
            const unsigned before = messagesTaken.load();
            Sleep(10);
            SendMessageA(dialog, WM_NULL, 0, 0);
            bool pending = messagesTaken.load() != before || GetUpdateRect(dialog, nullptr, FALSE);
            for (HWND child = GetWindow(dialog, GW_CHILD); child && !pending; child = GetWindow(child, GW_HWNDNEXT))
                pending = IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE);
            if (!pending) return;
        }
    }

    bool dialogThreadGetsPointer(const INPUT& e) {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(dialogThread, &info) && info.hwndCapture) return true;
        const int64_t w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        const POINT p = {LONG(e.mi.dx * w / 65536), LONG(e.mi.dy * h / 65536)};
        HWND under = WindowFromPoint(p);
        return under && GetWindowThreadProcessId(under, nullptr) == dialogThread;
    }

    // The pointer taken off the dialog, to the screen's first pixel outside
    // its window; the dialog learns it from the system's leave notification.
    void pointerOut(const Command& c) {
        RECT r;
        GetWindowRect(dialog, &r);
        const POINT out = {r.left > 0 ? r.left - 1 : r.right, r.top};
        const unsigned leavesBefore = dialogLeaves.load();
        POINT client = out;
        ScreenToClient(dialog, &client);
        pointerTo(c, client);
        for (int i = 0; i < 1000 && dialogLeaves.load() == leavesBefore; ++i) Sleep(5);
        settle();
        check(dialogLeaves.load() != leavesBefore, c, "the dialog was told that the pointer left it");
    }

    INPUT mouseEvent(DWORD flags, POINT screen) {
        // Absolute coordinates run from 0 to 65535 over the screen; Wine
        // takes the pixel of (coordinate x width) / 65536, so the smallest
        // coordinate of the pixel is the one that lands on it.
        const int64_t w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        INPUT e = {};
        e.type = INPUT_MOUSE;
        e.mi.dx = LONG((screen.x * 65536 + w - 1) / w);
        e.mi.dy = LONG((screen.y * 65536 + h - 1) / h);
        e.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
        return e;
    }

    POINT pointer() {
        POINT p;
        GetCursorPos(&p);
        return p;
    }

    // The pointer moved to a point of the dialog's client area.
    void pointerTo(const Command& c, POINT client) {
        POINT screen = client;
        ClientToScreen(dialog, &screen);
        const POINT from = pointer();
        if (from.x == screen.x && from.y == screen.y) return;
        const bool taken = sendInput({mouseEvent(MOUSEEVENTF_MOVE, screen)});
        // A move that another process's window takes may reach the
        // system's pointer position only when that process handles it.
        POINT at = pointer();
        for (int i = 0; i < 400 && (at.x != screen.x || at.y != screen.y); ++i, at = pointer()) Sleep(5);
        if (!taken || at.x != screen.x || at.y != screen.y)
            check(false, c,
                  "the pointer reached (" + std::to_string(at.x) + ", " + std::to_string(at.y) + "), aimed at (" +
                      std::to_string(screen.x) + ", " + std::to_string(screen.y) + ")" +
                      (taken ? "" : "; the dialog did not take the move"));
    }

    // Button events at the pointer, in one batch: the dialog's thread finds
    // them all waiting, as after a quick click.
    void buttons(const Command& c, std::initializer_list<DWORD> flags) {
        std::vector<INPUT> events;
        for (DWORD f : flags) events.push_back(mouseEvent(f, pointer()));
        check(sendInput(events), c, "the dialog took the button events");
    }

    void keyPress(const Command& c, const std::string& name) {
        static const std::map<std::string, WORD> keys = {{"left", VK_LEFT}, {"right", VK_RIGHT}, {"up", VK_UP},
                                                         {"down", VK_DOWN}, {"pgup", VK_PRIOR}, {"pgdn", VK_NEXT},
                                                         {"home", VK_HOME}, {"end", VK_END}};
        const auto k = keys.find(name);
        if (k == keys.end()) throw std::runtime_error("line " + std::to_string(c.line) + ": unknown key " + name);
        INPUT down = {}, up = {};
        down.type = up.type = INPUT_KEYBOARD;
        down.ki.wVk = up.ki.wVk = k->second;
        // The arrows and the page keys are extended keys of a keyboard.
        down.ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
        up.ki.dwFlags = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;
        check(sendInput({down, up}), c, "the dialog took the key " + name);
    }

    // A slider's thumb rectangle as the trackbar reports it, and its channel,
    // in the dialog's client coordinates.
    RECT sliderRect(int slider, UINT message) {
        RECT r = {0, 0, 0, 0};
        SendMessageA(item(slider), message, 0, reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(item(slider), dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    HWND focusOfDialogThread() {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(dialogThread, &info) ? info.hwndFocus : nullptr;
    }

    // The cursor on the screen is the one the last WM_SETCURSOR answer (or
    // the dialog's own SetCursor) chose.
    void expectCursor(const Command& c, const std::string& name) {
        static const std::map<std::string, LPCSTR> shapes = {
            {"arrow", IDC_ARROW}, {"cross", IDC_CROSS}, {"ibeam", IDC_IBEAM}, {"wait", IDC_WAIT}};
        if (!shapes.count(name)) throw std::runtime_error("line " + std::to_string(c.line) + ": unknown cursor " + name);
        settle();
        CURSORINFO info = {};
        info.cbSize = sizeof info;
        GetCursorInfo(&info);
        std::string shown = "an unknown cursor";
        for (const auto& s : shapes)
            if (info.hCursor == LoadCursorA(nullptr, s.second)) shown = s.first;
        check(info.hCursor == LoadCursorA(nullptr, shapes.at(name)), c, "the cursor is " + shown + ", expected " + name);
    }

    // Parameter i's value and edit text follow its slider's position by the
    // slider rule, value = position / scale ("150.0", "0.74").
    void expectSliderRule(const Command& c, int i, double scale) {
        const long pos = long(SendMessageA(item(10 * (i + 2) + 1), TBM_GETPOS, 0, 0));
        const double want = double(pos) / scale, v = params().values[i];
        const std::string wantText = expectedEditText(item(10 * (i + 2) + 2), want);
        const std::string text = windowText(item(10 * (i + 2) + 2));
        check(v == want && text == wantText, c,
              "slider " + std::to_string(10 * (i + 2) + 1) + " at " + std::to_string(pos) + ": parameter " +
                  std::to_string(i) + " = " + std::to_string(v) + ", edit \"" + text + "\" (expected " + wantText + ")");
    }

    // The size grip in the client area's bottom-right corner: the screen
    // there is the system's own drawing of a grip of the scroll bars' size.
    void expectSizeGrip(const Command& c) {
        settle();
        RECT client;
        GetClientRect(dialog, &client);
        const int w = GetSystemMetrics(SM_CXVSCROLL), h = GetSystemMetrics(SM_CYHSCROLL);
        POINT corner = {client.right - w, client.bottom - h};
        ClientToScreen(dialog, &corner);
        HDC screen = GetDC(nullptr);
        HDC shown = CreateCompatibleDC(screen), drawn = CreateCompatibleDC(screen);
        HBITMAP shownBits = CreateCompatibleBitmap(screen, w, h), drawnBits = CreateCompatibleBitmap(screen, w, h);
        HGDIOBJ oldShown = SelectObject(shown, shownBits), oldDrawn = SelectObject(drawn, drawnBits);
        BitBlt(shown, 0, 0, w, h, screen, corner.x, corner.y, SRCCOPY);
        RECT grip = {0, 0, w, h};
        FillRect(drawn, &grip, GetSysColorBrush(COLOR_BTNFACE));
        DrawFrameControl(drawn, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        int differ = 0, lines = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const COLORREF want = GetPixel(drawn, x, y);
                differ += GetPixel(shown, x, y) != want;
                lines += want != face;
            }
        SelectObject(shown, oldShown);
        SelectObject(drawn, oldDrawn);
        DeleteObject(shownBits);
        DeleteObject(drawnBits);
        DeleteDC(shown);
        DeleteDC(drawn);
        ReleaseDC(nullptr, screen);
        check(differ == 0 && lines > 0, c,
              "the size grip (" + std::to_string(w) + " x " + std::to_string(h) + " at the client's corner): " +
                  std::to_string(differ) + " pixel(s) differ from the system's grip of " + std::to_string(lines) +
                  " line pixels");
    }

    // The commands of a person's hands; false for any other command.
    bool personInput(const Command& c) {
        const std::vector<std::string>& w = c.words;
        const std::string& op = w[0];
        auto arg = [&](size_t i) -> long {
            if (i >= w.size()) throw std::runtime_error("line " + std::to_string(c.line) + ": too few words");
            return number(w[i]);
        };
        if (op == "pointer") {  // pointer ID DX DY: the item's centre and an offset
            pointerTo(c, itemPoint(int(arg(1)), int(arg(2)), int(arg(3))));
        } else if (op == "pointer-corner") {  // pointer-corner ID DX DY: the item's top-left corner and an offset
            RECT r;
            GetWindowRect(item(int(arg(1))), &r);
            MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
            pointerTo(c, POINT{r.left + int(arg(2)), r.top + int(arg(3))});
        } else if (op == "pointer-thumb") {  // pointer-thumb SLIDER DX DY: the thumb's centre and an offset
            const RECT t = sliderRect(int(arg(1)), TBM_GETTHUMBRECT);
            pointerTo(c, POINT{(t.left + t.right) / 2 + int(arg(2)), (t.top + t.bottom) / 2 + int(arg(3))});
        } else if (op == "pointer-by") {  // pointer-by DX DY: from where the pointer is
            POINT p = pointer();
            ScreenToClient(dialog, &p);
            pointerTo(c, POINT{p.x + int(arg(1)), p.y + int(arg(2))});
        } else if (op == "pointer-track") {  // pointer-track SLIDER left|right DX: an end of the channel
            const RECT t = sliderRect(int(arg(1)), TBM_GETTHUMBRECT), ch = sliderRect(int(arg(1)), TBM_GETCHANNELRECT);
            pointerTo(c, POINT{(w.at(2) == "left" ? ch.left : ch.right - 1) + int(arg(3)), (t.top + t.bottom) / 2});
        } else if (op == "pointer-out") {
            pointerOut(c);
        } else if (op == "button-down" || op == "button-up" || op == "rbutton-down" || op == "rbutton-up") {
            buttons(c, {op == "button-down" ? DWORD(MOUSEEVENTF_LEFTDOWN) : op == "button-up" ? DWORD(MOUSEEVENTF_LEFTUP)
                        : op == "rbutton-down" ? DWORD(MOUSEEVENTF_RIGHTDOWN) : DWORD(MOUSEEVENTF_RIGHTUP)});
        } else if (op == "button-click") {
            buttons(c, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
        } else if (op == "button-up-by" || op == "button-drag") {
            // button-up-by DX DY: the pointer moved and the button released
            // at once; button-drag DX DY STEPS: pressed, moved in STEPS and
            // released at once, a quick drag.
            POINT p = pointer();
            const int dx = int(arg(1)), dy = int(arg(2)), steps = op == "button-drag" ? int(arg(3)) : 1;
            std::vector<INPUT> events;
            if (op == "button-drag") events.push_back(mouseEvent(MOUSEEVENTF_LEFTDOWN, p));
            for (int k = 1; k <= steps; ++k)
                events.push_back(mouseEvent(MOUSEEVENTF_MOVE, POINT{p.x + dx * k / steps, p.y + dy * k / steps}));
            events.push_back(mouseEvent(MOUSEEVENTF_LEFTUP, POINT{p.x + dx, p.y + dy}));
            check(sendInput(events), c, "the dialog took the drag's events");
        } else if (op == "expect-recomputes-within") {
            const int n = recomputesSinceMark();
            check(n >= arg(1) && n <= arg(2), c,
                  std::to_string(n) + " recompute(s) since the mark, expected " + w[1] + " to " + w[2]);
        } else if (op == "press-key") {  // press-key NAME [COUNT]
            for (long k = 0, n = w.size() > 2 ? arg(2) : 1; k < n; ++k) keyPress(c, w.at(1));
        } else if (op == "expect-focus") {
            check(focusOfDialogThread() == item(int(arg(1))), c, "the focus is on item " + w[1]);
        } else if (op == "expect-cursor") {
            expectCursor(c, w.at(1));
        } else if (op == "expect-slider") {  // expect-slider I SCALE
            expectSliderRule(c, int(arg(1)), std::strtod(w.at(2).c_str(), nullptr));
        } else if (op == "expect-size-grip") {
            expectSizeGrip(c);
        } else {
            return false;
        }
        return true;
    }

    // Clicks a settings button, names the file in the file dialog that
    // opens and confirms it.
    void fileDialog(const Command& c, int button, const std::string& fileName) {
        // The file is named by its full path in a folder of its own: a
        // plug-in that let the dialog move the process's current folder
        // there would be seen.
        char folder[MAX_PATH] = {0};
        GetCurrentDirectoryA(MAX_PATH, folder);
        const std::string settingsFolder = std::string(folder) + "\\settings";
        CreateDirectoryA(settingsFolder.c_str(), nullptr);
        const std::string path = settingsFolder + "\\" + fileName;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(item(button)));
        HWND files = nullptr;
        for (int i = 0; i < 1000 && !files; ++i) {
            Sleep(10);
            FileDialogSearch find = {dialog, nullptr};
            EnumThreadWindows(dialogThread, findFileDialog, reinterpret_cast<LPARAM>(&find));
            files = find.found;
        }
        check(files != nullptr, c, std::string(button == 903 ? "the save" : "the open") + " file dialog opened");
        if (!files) return;
        Sleep(300);
        HWND name = GetDlgItem(files, kFileNameCombo);
        if (!name) name = GetDlgItem(files, kFileNameEdit);
        SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        Sleep(100);
        PostMessageA(files, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(files, IDOK)));
        for (int i = 0; i < 1000 && IsWindow(files); ++i) Sleep(10);
        check(!IsWindow(files), c, "the file dialog closed with " + path);
        settle();
        char after[MAX_PATH] = {0};
        GetCurrentDirectoryA(MAX_PATH, after);
        check(lstrcmpiA(after, folder) == 0, c, std::string("the current folder after the file dialog is ") + after);
        SetCurrentDirectoryA(folder);  // the later steps' files stay where they were
    }

    // Every pixel of the client area that a preview or overview picture
    // covered since the dialog opened, outside the current pictures and the
    // visible controls, has the dialog's colour: no stale picture remains.
    void cleanOutsidePictures(const Command& c) {
        settle();
        std::vector<RECT> painted;
        RECT preview = {0, 0, 0, 0}, overview = {0, 0, 0, 0};
        {
            auto lock = host.lockState();
            for (const DisplayCall& d : host.displayCalls()) {
                const RECT r = {d.dstCol, d.dstRow, d.dstCol + (d.srcRect.right - d.srcRect.left),
                                d.dstRow + (d.srcRect.bottom - d.srcRect.top)};
                painted.push_back(r);
                (inItem(kPreviewItem, d.dstRow, d.dstCol) ? preview : overview) = r;
            }
        }
        RECT client;
        GetClientRect(dialog, &client);
        POINT origin = {0, 0};
        ClientToScreen(dialog, &origin);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
        std::vector<RECT> controls;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child)) continue;
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
            controls.push_back(r);
        }
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        int64_t stale = 0, looked = 0;
        for (const RECT& r : painted)
            for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, client.bottom - 20); ++y)
                for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, client.right - 20); ++x) {
                    const POINT p = {x, y};
                    if (PtInRect(&preview, p) || PtInRect(&overview, p)) continue;
                    bool onControl = false;
                    for (const RECT& k : controls) onControl = onControl || PtInRect(&k, p);
                    if (onControl) continue;
                    ++looked;
                    stale += GetPixel(memory, x, y) != face;
                }
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        check(stale == 0, c,
              std::to_string(stale) + " stale pixel(s) among " + std::to_string(looked) +
                  " that earlier pictures covered outside the current ones");
    }

    // Every visible static text, button, check box and edit box shows its
    // whole text in its own font.  The dialog's font is the template's
    // first: a substitute of other widths would hide cut texts or invent them.
    void textsFit(const Command& c) {
        settle();
        std::string face;
        for (size_t i = 1; i < c.words.size(); ++i) face += (i > 1 ? " " : "") + c.words[i];
        const std::string font = fontOf(dialog);
        check(font.rfind(face + ",", 0) == 0, c, "the dialog's font is " + font + ", expected " + face);
        int looked = 0, cut = 0;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!IsWindowVisible(child)) continue;
            const std::string text = windowText(child);
            const TextFit fit = measureTextFit(child, text);
            if (!fit.known || text.empty()) continue;
            ++looked;
            if (fit.whole()) continue;
            ++cut;
            check(false, c,
                  "item " + std::to_string(GetDlgCtrlID(child)) + " \"" + text + "\" needs " +
                      std::to_string(fit.extent.cx) + " x " + std::to_string(fit.extent.cy) +
                      " px, its control gives it " + std::to_string(fit.room.cx) + " x " +
                      std::to_string(fit.room.cy));
        }
        check(looked > 0 && cut == 0, c,
              std::to_string(looked - cut) + " of the " + std::to_string(looked) +
                  " texts of the visible controls fit whole in " + font);
    }

    // Slider changes, alternating between two positions, each timed until
    // the dialog has recomputed and painted the preview through the host.
    void latency(const Command& c, int slider, long from, long to, int changes) {
        LARGE_INTEGER frequency, t0, t1;
        QueryPerformanceFrequency(&frequency);
        std::vector<double> ms;
        for (int k = 0; k < changes; ++k) {
            size_t displaysBefore;
            {
                auto lock = host.lockState();
                displaysBefore = host.displayCalls().size();
            }
            QueryPerformanceCounter(&t0);
            SendMessageA(item(slider), TBM_SETPOS, TRUE, k % 2 ? from : to);
            RedrawWindow(item(slider), nullptr, nullptr, RDW_UPDATENOW);
            settle();
            QueryPerformanceCounter(&t1);
            size_t displaysAfter;
            {
                auto lock = host.lockState();
                displaysAfter = host.displayCalls().size();
            }
            if (displaysAfter == displaysBefore) {
                check(false, c, "a slider change painted nothing");
                return;
            }
            ms.push_back(double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(frequency.QuadPart));
        }
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted.size() % 2 ? sorted[sorted.size() / 2]
                                                : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
        RECT client;
        GetClientRect(dialog, &client);
        std::printf("latency: %ld x %ld dialog, %d slider changes: median %.1f ms, worst %.1f ms\n", client.right,
                    client.bottom, changes, median, sorted.back());
        check(true, c, "latency measured");
    }

    void run(const Command& c);
    void runAfter(const Command& c, int16 startResult);
    void steer();
};

void DialogScript::Impl::run(const Command& c) {
    if (personInput(c)) return;
    const std::vector<std::string>& w = c.words;
    const std::string& op = w[0];
    auto arg = [&](size_t i) -> long {
        if (i >= w.size()) throw std::runtime_error("line " + std::to_string(c.line) + ": too few words");
        return number(w[i]);
    };
    if (op == "settle") {
        settle();
    } else if (op == "mark") {
        settle();
        mark();
    } else if (op == "slider") {
        SendMessageA(item(int(arg(1))), TBM_SETPOS, TRUE, arg(2));
        RedrawWindow(item(int(arg(1))), nullptr, nullptr, RDW_UPDATENOW);
        settle();
    } else if (op == "type") {
        SendMessageA(item(int(arg(1))), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.rest.c_str()));
        settle();
    } else if (op == "click") {
        SendMessageA(item(int(arg(1))), BM_CLICK, 0, 0);
        settle();
    } else if (op == "dblclick") {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(arg(1), STN_DBLCLK), reinterpret_cast<LPARAM>(item(int(arg(1)))));
        settle();
    } else if (op == "command") {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(arg(1), arg(2)), 0);
        settle();
    } else if (op == "mouse") {
        const POINT p = itemPoint(int(arg(2)), int(arg(3)), int(arg(4)));
        const std::string& kind = w[1];
        const UINT message = kind == "ldown" ? WM_LBUTTONDOWN : kind == "lup" ? WM_LBUTTONUP
                             : kind == "rdown" ? WM_RBUTTONDOWN : kind == "rup" ? WM_RBUTTONUP : WM_MOUSEMOVE;
        const WPARAM buttons = kind == "ldown" ? MK_LBUTTON : kind == "rdown" ? MK_RBUTTON : 0;
        // The pointer is where the mouse is said to be, or the system would
        // report it leaving at once.
        POINT screenPoint = p;
        ClientToScreen(dialog, &screenPoint);
        SetCursorPos(screenPoint.x, screenPoint.y);
        SendMessageA(dialog, message, buttons, MAKELPARAM(p.x, p.y));
        settle();
    } else if (op == "wheel") {
        POINT p = itemPoint(int(arg(1)), int(arg(2)), int(arg(3)));
        ClientToScreen(dialog, &p);
        SendMessageA(dialog, WM_MOUSEWHEEL, MAKEWPARAM(0, short(arg(4))), MAKELPARAM(p.x, p.y));
        settle();
    } else if (op == "leave" || op == "killfocus" || op == "capturechanged" || op == "ncbuttonup") {
        const UINT message = op == "leave" ? WM_MOUSELEAVE : op == "killfocus" ? WM_KILLFOCUS
                             : op == "capturechanged" ? WM_CAPTURECHANGED : WM_NCLBUTTONUP;
        SendMessageA(dialog, message, 0, 0);
        settle();
    } else if (op == "resize") {
        RECT r = {0, 0, int(arg(1)), int(arg(2))};
        AdjustWindowRectEx(&r, DWORD(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongA(dialog, GWL_EXSTYLE)));
        SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
        settle();
    } else if (op == "sizing") {
        // A proposal far below the minimum: every edge gives the minimum
        // size, the first answer's, and keeps the opposite edges.
        RECT before, r;
        GetWindowRect(dialog, &before);
        r = before;
        const int edge = int(arg(1)), width = int(arg(2)), height = int(arg(3));
        const bool left = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
        const bool top = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
        if (left) r.left = r.right - width; else r.right = r.left + width;
        if (top) r.top = r.bottom - height; else r.bottom = r.top + height;
        const RECT proposed = r;
        const LRESULT result = SendMessageA(dialog, WM_SIZING, WPARAM(edge), reinterpret_cast<LPARAM>(&r));
        const bool fixedKept = (left ? r.right == proposed.right : r.left == proposed.left) &&
                               (top ? r.bottom == proposed.bottom : r.top == proposed.top);
        if (minimumSize.right == 0) minimumSize = RECT{0, 0, r.right - r.left, r.bottom - r.top};
        const bool minimum = r.right - r.left == minimumSize.right && r.bottom - r.top == minimumSize.bottom &&
                             minimumSize.right > width && minimumSize.bottom > height;
        // A dialog procedure's answer reaches the sender only through
        // DWLP_MSGRESULT: TRUE says the rectangle was changed.
        check(minimum && fixedKept && result == TRUE, c,
              "sizing edge " + std::to_string(edge) + " to " + std::to_string(width) + " x " +
                  std::to_string(height) + " gives " + std::to_string(r.right - r.left) + " x " +
                  std::to_string(r.bottom - r.top) + (fixedKept ? ", the opposite edges kept" : ", EDGES MOVED") +
                  ", the message's result " + std::to_string(result));
    } else if (op == "repaint") {
        // The whole window invalidated and painted, as when it is uncovered.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        settle();
    } else if (op == "resize-to-minimum") {
        // The frame size the first sizing answered: the template's.
        SetWindowPos(dialog, nullptr, 0, 0, minimumSize.right, minimumSize.bottom, SWP_NOMOVE | SWP_NOZORDER);
        settle();
    } else if (op == "latency") {
        latency(c, int(arg(1)), arg(2), arg(3), int(arg(4)));
    } else if (op == "save" || op == "load") {
        fileDialog(c, op == "save" ? 903 : 904, w.at(1));
    } else if (op == "enter" || op == "escape") {
        key(op == "enter" ? VK_RETURN : VK_ESCAPE);
        for (int i = 0; i < 2000 && IsWindow(dialog); ++i) Sleep(10);
        check(!IsWindow(dialog), c, op + " closes the dialog");
        done = true;
    } else if (op == "screenshot") {
        settle();
        screenshot(c, w.at(1));
    } else if (op == "refuse-buffer") {
        auto lock = host.lockState();
        host.buffers().plan.refuseNth = host.buffers().allocations() + arg(1);
        host.buffers().plan.andAllLater = false;
    } else if (op == "expect-text") {
        const std::string text = windowText(item(int(arg(1))));
        check(text == c.rest, c, "item " + w[1] + " shows \"" + text + "\", expected \"" + c.rest + "\"");
    } else if (op == "expect-pos") {
        const LRESULT pos = SendMessageA(item(int(arg(1))), TBM_GETPOS, 0, 0);
        check(pos == arg(2), c, "slider " + w[1] + " at " + std::to_string(pos) + ", expected " + w[2]);
    } else if (op == "expect-visible") {
        const bool visible = (GetWindowLongA(item(int(arg(1))), GWL_STYLE) & WS_VISIBLE) != 0;
        check(visible == (arg(2) != 0), c, "item " + w[1] + (visible ? " visible" : " hidden"));
    } else if (op == "expect-checked") {
        const bool checked = SendMessageA(item(int(arg(1))), BM_GETCHECK, 0, 0) == BST_CHECKED;
        check(checked == (arg(2) != 0), c, "box " + w[1] + (checked ? " checked" : " unchecked"));
    } else if (op == "expect-value") {
        const double v = params().values[arg(1)], want = std::strtod(w.at(2).c_str(), nullptr);
        check(std::fabs(v - want) <= 1e-9 * std::max(1.0, std::fabs(want)), c,
              "value " + w[1] + " is " + std::to_string(v) + ", expected " + w[2]);
    } else if (op == "expect-flag") {
        const int v = params().flags[arg(1)];
        check(v == arg(2), c, "flag " + w[1] + " is " + std::to_string(v) + ", expected " + w[2]);
    } else if (op == "expect-shows") {
        // Parameter i's edit box and slider (ids 10(i+2)+2 and +1) show its
        // value, the box with as many decimals as it holds, the slider at
        // trunc(value x scale + 0.5) within low..high.
        const int i = int(arg(1));
        const double scale = std::strtod(w.at(2).c_str(), nullptr);
        const long low = arg(3), high = arg(4);
        const double v = params().values[i];
        const std::string text = windowText(item(10 * (i + 2) + 2));
        const std::string wantText = expectedEditText(item(10 * (i + 2) + 2), v);
        const double want = std::trunc(v * scale + 0.5);
        const long pos = long(SendMessageA(item(10 * (i + 2) + 1), TBM_GETPOS, 0, 0));
        const long wantPos = want < low ? low : want > high ? high : long(want);
        check(text == wantText && pos == wantPos, c,
              "parameter " + w[1] + " = " + std::to_string(v) + ": edit \"" + text + "\" (expected \"" + wantText +
                  "\"), slider " + std::to_string(pos) + " (expected " + std::to_string(wantPos) + ")");
    } else if (op == "expect-box") {
        const int f = int(arg(1));
        const bool checked = SendMessageA(item(int(arg(2))), BM_GETCHECK, 0, 0) == BST_CHECKED;
        check(checked == (params().flags[f] != 0), c, "box " + w[2] + " shows flag " + w[1]);
    } else if (op == "expect-recomputes") {
        const int n = recomputesSinceMark();
        check(n == arg(1), c, std::to_string(n) + " recompute(s) since the mark, expected " + w[1]);
    } else if (op == "expect-displays") {
        const size_t n = previewDisplaysSinceMark().size();
        check(long(n) == arg(1), c, std::to_string(n) + " preview display(s) since the mark, expected " + w[1]);
    } else if (op == "expect-some-displays") {
        const size_t n = previewDisplaysSinceMark().size();
        check(n > 0, c, std::to_string(n) + " preview display(s) since the mark");
    } else if (op == "expect-alerts-at-most") {
        std::vector<void*> owners;
        size_t count;
        {
            auto lock = host.lockState();
            count = host.alerts().size() - markAlerts;
            owners = platform::alertOwners();
        }
        bool owned = true;
        for (size_t i = owners.size() >= count ? owners.size() - count : 0; i < owners.size(); ++i)
            owned = owned && owners[i] == dialog;
        check(long(count) <= arg(1) && owned, c,
              std::to_string(count) + " alert(s) since the mark, at most " + w[1] +
                  (owned ? ", each owned by the dialog" : ", NOT ALL OWNED BY THE DIALOG"));
    } else if (op == "expect-alerts") {
        std::vector<std::string> texts;
        std::vector<void*> owners;
        {
            auto lock = host.lockState();
            texts.assign(host.alerts().begin() + long(markAlerts), host.alerts().end());
            owners = platform::alertOwners();
        }
        bool owned = true;
        const size_t first = owners.size() >= texts.size() ? owners.size() - texts.size() : 0;
        for (size_t i = first; i < owners.size(); ++i) owned = owned && owners[i] == dialog;
        std::string list;
        for (const std::string& t : texts) list += " \"" + t + "\"";
        check(long(texts.size()) == arg(1) && owned, c,
              std::to_string(texts.size()) + " alert(s) since the mark, expected " + w[1] +
                  (owned ? ", each owned by the dialog" : ", NOT ALL OWNED BY THE DIALOG") + list);
    } else if (op == "expect-preview") {
        // The last preview picture: Z x Z blocks in both halves; with SAME 1
        // the halves are equal (the original on both sides).
        const std::vector<DisplayCall> calls = previewDisplaysSinceMark();
        if (calls.empty()) {
            check(false, c, "no preview display since the mark");
            return;
        }
        const DisplayCall& d = calls.back();
        const int32 Z = int32(arg(1)), width = d.srcRect.right - d.srcRect.left,
                    height = d.srcRect.bottom - d.srcRect.top, half = width / 2;
        bool blocks = width % (2 * Z) == 0 && height % Z == 0, same = true;
        for (int32 y = 0; y < height && blocks; ++y)
            for (int32 x = 0; x < width; ++x)
                for (int16 p = 0; p < d.planes; ++p) {
                    const uint8_t v = d.pixels[size_t((int64_t(y) * width + x) * d.planes + p)];
                    const int32 bx = x < half ? x / Z * Z : half + (x - half) / Z * Z;
                    blocks = blocks && v == d.pixels[size_t((int64_t(y / Z * Z) * width + bx) * d.planes + p)];
                    if (x < half)
                        same = same && v == d.pixels[size_t((int64_t(y) * width + x + half) * d.planes + p)];
                }
        const bool wantSame = arg(2) == 1;
        check(blocks && (!wantSame || same) && sameBounds(d), c,
              "preview " + std::to_string(width) + " x " + std::to_string(height) + " at zoom " + w[1] +
                  (blocks ? ": blocks of the zoom" : ": NOT blocks of the zoom") +
                  (wantSame ? (same ? ", both halves the original" : ", HALVES DIFFER") : "") +
                  ", source rectangle = the map's bounds");
    } else if (op == "expect-no-faults") {
        std::string report;
        {
            auto lock = host.lockState();
            for (const std::string& f : host.faults()) report += " [" + f + "]";
        }
        check(report.empty(), c, "no fault recorded by the host" + report);
    } else if (op == "expect-client") {
        RECT r;
        GetClientRect(dialog, &r);
        check(r.right == arg(1) && r.bottom == arg(2), c,
              "client area " + std::to_string(r.right) + " x " + std::to_string(r.bottom) + ", expected " + w[1] +
                  " x " + w[2]);
    } else if (op == "expect-params-as-marked") {
        std::vector<uint8_t> now;
        {
            auto lock = host.lockState();
            now = host.parameterBytes();
        }
        check(now == markedParams, c, "the parameter block is as at the mark");
    } else if (op == "expect-clean-outside-pictures") {
        cleanOutsidePictures(c);
    } else if (op == "expect-pictures-shown") {
        picturesShown(c);
    } else if (op == "expect-texts-fit") {
        textsFit(c);
    } else if (op == "print-buffers") {
        auto lock = host.lockState();
        const auto& log = host.buffers().log();
        for (size_t i = markLog; i < log.size(); ++i)
            std::printf("buffer: %s %p %d\n", log[i].allocation ? (log[i].id ? "allocate" : "refused") : "free",
                        static_cast<void*>(log[i].id), int(log[i].size));
    } else if (op == "print") {
        std::printf("note: %s\n", c.rest.c_str());
    } else {
        throw std::runtime_error("line " + std::to_string(c.line) + ": unknown command " + op);
    }
}

void DialogScript::Impl::runAfter(const Command& c, int16 startResult) {
    const std::string& op = c.words[0];
    if (op == "after-result") {
        check(startResult == number(c.words.at(1)), c,
              "the start call returned " + std::to_string(startResult) + ", expected " + c.words[1]);
    } else if (op == "after-params-as-before") {
        std::vector<uint8_t> now;
        {
            auto lock = host.lockState();
            now = host.parameterBytes();
        }
        check(now == openedParams, c, "the parameter block is the one the start call found");
    } else if (op == "after-registry-as-before") {
        // The registry's numbers are the parameters' keyed values, in order.
        BlockLayout opened = {};
        if (openedParams.size() >= sizeof opened) std::memcpy(&opened, openedParams.data(), sizeof opened);
        std::vector<double> stored;
        {
            auto lock = host.lockState();
            for (const auto& entry : host.registry())
                for (const DescriptorEntry& e : entry.second)
                    if (e.type == typeFloat) stored.push_back(e.f);
        }
        bool same = !stored.empty();
        for (size_t i = 0; i < stored.size() && i < 24; ++i) same = same && stored[i] == opened.values[i];
        check(same, c, "the registry holds the values the start call found (" + std::to_string(stored.size()) +
                           " numbers)");
    } else if (op == "after-alerts") {
        // after-alerts N TEXT: N alerts in the whole start call, the last one TEXT.
        std::vector<std::string> texts;
        {
            auto lock = host.lockState();
            texts = host.alerts();
        }
        const std::string last = texts.empty() ? std::string() : texts.back();
        check(long(texts.size()) == number(c.words.at(1)) && (c.rest.empty() || last == c.rest), c,
              std::to_string(texts.size()) + " alert(s) in the start call, expected " + c.words[1] +
                  (texts.empty() ? std::string() : ", the last \"" + last + "\""));
    } else if (op == "after-no-live-buffers") {
        int64_t live;
        {
            auto lock = host.lockState();
            live = host.buffers().live();
        }
        check(live == 0, c, std::to_string(live) + " host buffer(s) live after the start call");
    } else if (op == "after-no-faults") {
        std::string report;
        for (const std::string& f : host.faults()) report += " [" + f + "]";
        check(report.empty(), c, "no fault recorded by the host" + report);
    } else {
        throw std::runtime_error("line " + std::to_string(c.line) + ": unknown command " + op);
    }
}

void DialogScript::Impl::steer() {
    if (refuseDialog) return;  // no dialog to steer: only the after- checks run
    const DWORD start = GetTickCount();
    while (!dialog && GetTickCount() - start < kFindTimeoutMs) {
        EnumThreadWindows(dialogThread, findDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog) Sleep(20);
    }
    Command opening{0, {"open"}, ""};
    check(dialog != nullptr, opening, "the plug-in's dialog is open");
    if (!dialog) return;
    settle();
    mark();
    markLog = startLog;  // the opening itself counts as the first step
    markDisplays = 0;
    markAlerts = 0;
    for (const Command& c : commands) {
        if (!IsWindow(dialog)) {
            check(false, c, "the dialog closed before this command");
            return;
        }
        try {
            run(c);
        } catch (const std::exception& e) {
            check(false, c, e.what());
        }
        if (done) return;
    }
    // Nobody must wait for a dialog the script forgot to close.
    if (IsWindow(dialog)) {
        check(false, Command{0, {"end"}, ""}, "the script ended with the dialog open: Escape pressed");
        key(VK_ESCAPE);
        for (int i = 0; i < 2000 && IsWindow(dialog); ++i) Sleep(10);
    }
}

DialogScript::DialogScript(const std::string& path, Host& host, const std::string& shotPrefix)
    : impl_(new Impl(host, shotPrefix)) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read the dialog script " + path);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        Command c{n, {}, ""};
        for (std::string w; words >> w;) c.words.push_back(w);
        if (c.words.empty() || c.words[0][0] == '#') continue;
        // Typed and expected texts: the rest of the line after the id (after
        // the command itself for print).
        c.rest = wordsAfter(line, c.words[0] == "print" ? 1 : 2);
        if (c.words[0] == "open-refuse-buffer" || c.words[0] == "open-refuse-dialog")
            impl_->before.push_back(c);
        else
            (c.words[0].rfind("after-", 0) == 0 ? impl_->after : impl_->commands).push_back(c);
    }
}

DialogScript::~DialogScript() {
    if (impl_->thread.joinable()) impl_->thread.join();
}

void DialogScript::start() {
    impl_->dialogThread = GetCurrentThreadId();
    impl_->openedParams = impl_->host.parameterBytes();
    impl_->startLog = impl_->host.buffers().log().size();
    for (const Command& c : impl_->before)
        if (c.words[0] == "open-refuse-dialog")
            impl_->refuseDialog = dialogRefusalHook =
                SetWindowsHookExA(WH_CBT, refuseFirstDialog, nullptr, GetCurrentThreadId());
        else
            impl_->host.buffers().plan.refuseNth = impl_->host.buffers().allocations() + number(c.words.at(1));
    impl_->thread = std::thread([this] { impl_->steer(); });
}

int DialogScript::finish(int16 startResult) {
    if (impl_->thread.joinable()) impl_->thread.join();
    if (impl_->refuseDialog) {
        UnhookWindowsHookEx(impl_->refuseDialog);
        impl_->check(dialogCreationRefused, Command{0, {"open-refuse-dialog"}, ""},
                     "the creation of the plug-in's dialog was refused");
    }
    for (const Command& c : impl_->after) impl_->runAfter(c, startResult);
    std::printf("dialog script: %d check(s) passed, %d failed\n", impl_->passes, impl_->failures);
    std::fflush(stdout);
    return impl_->failures;
}

}  // namespace refhost
