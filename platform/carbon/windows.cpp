// Windows, controls, events, ports and the modal loop of the headless
// Carbon stand-in.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>

#include "standin_internal.h"

struct OpaqueIBNibRef {
    std::string name;
    const __CFBundle* bundle;  // null: the main bundle, which makes empty windows
};

struct OpaqueEventRef {
    uint32_t eventClass, kind;
    std::map<uint32_t, std::pair<uint32_t, std::vector<uint8_t>>> params;
};

// Where a handler stands in its chain, for CallNextEventHandler.
struct OpaqueEventHandlerCallRef {
    std::vector<HandlerRecord*> chain;
    size_t next;
    WindowRef window;
    ControlRef control;
    bool calledNext;
};

struct OpaqueRgnHandle {};

namespace {
const int16_t kMenuBarHeight = 20;
const int16_t kTitleBarHeight = 22;
const int kModalTurnLimit = 10000;  // a responder that never ends the loop cannot hang a test

struct ScriptEvent {
    CarbonScriptEvent event;
    std::string text;
};

struct State {
    Rect screen{0, 0, 768, 1024};
    std::map<std::string, std::unique_ptr<__CFBundle>> bundles;
    std::vector<WindowRef> live;
    // Disposed windows stay allocated, so that a late use is seen, not a crash.
    std::vector<std::unique_ptr<OpaqueWindowPtr>> graveyard;
    std::vector<std::unique_ptr<OpaqueWindowPtr>> windows;
    OpaqueGrafPtr screenPort;
    GrafPtr currentPort = nullptr;
    ThemeCursor cursor = kThemeArrowCursor;
    std::vector<std::string> faults;
    std::deque<ScriptEvent> script;
    CarbonModalResponder responder = nullptr;
    void* responderContext = nullptr;
    std::string failingNib;
    int windowFailures = 0;
    uint32_t ticks = 0;
    OpaqueRgnHandle grayRegion;
};

State& state() {
    static State s;
    return s;
}

std::atomic<long> liveWindowCount{0};

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

OSType fourChars(const std::string& token) {
    if (token == "-") return 0;
    std::string t = token.substr(0, 4);
    t.resize(4, ' ');
    return OSType(uint8_t(t[0])) << 24 | OSType(uint8_t(t[1])) << 16 | OSType(uint8_t(t[2])) << 8 | uint8_t(t[3]);
}

int16_t clamp16(long v) { return int16_t(std::clamp<long>(v, INT16_MIN, INT16_MAX)); }

std::string rectText(const Rect& r) {
    return std::to_string(r.top) + " " + std::to_string(r.left) + " " + std::to_string(r.bottom) + " " +
           std::to_string(r.right);
}

// Reads the window's lines of a nib table; false when the window is not in it.
bool buildFromNib(const std::string& path, const std::string& windowName, WindowRef* out) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    WindowRef window = nullptr;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string what;
        words >> what;
        if (what == "window") {
            if (window) break;
            std::string name;
            long left, top, width, height;
            if (!(words >> name >> left >> top >> width >> height)) return false;
            if (name != windowName) continue;
            std::string title;
            std::getline(words, title);
            Rect content{clamp16(top), clamp16(left), clamp16(top + height), clamp16(left + width)};
            window = carbonStandInNewWindow(name, content);
            window->title = trimmed(title);
        } else if (what == "control" && window) {
            std::string signature, kind, command;
            long id, l, t, r, b;
            if (!(words >> signature >> id >> kind >> l >> t >> r >> b >> command)) continue;
            std::string text;
            std::getline(words, text);
            carbonStandInAddControl(window, fourChars(signature), int32_t(id), kind,
                                    Rect{clamp16(t), clamp16(l), clamp16(b), clamp16(r)}, fourChars(command),
                                    trimmed(text));
        }
    }
    *out = window;
    return window != nullptr;
}

OpaqueEventRef makeEvent(uint32_t eventClass, uint32_t kind) { return OpaqueEventRef{eventClass, kind, {}}; }

template <typename T>
void setParam(OpaqueEventRef& e, uint32_t name, uint32_t type, const T& value) {
    SetEventParameter(&e, name, type, sizeof value, &value);
}

bool matches(const HandlerRecord* h, const OpaqueEventRef* e) {
    if (h->removed) return false;
    for (const EventTypeSpec& t : h->types)
        if (t.eventClass == e->eventClass && t.eventKind == e->kind) return true;
    return false;
}

ControlRef hitControl(WindowRef window, Point local) {
    for (ControlRef c : window->controls)
        if (c->visible && local.v >= c->bounds.top && local.v < c->bounds.bottom && local.h >= c->bounds.left &&
            local.h < c->bounds.right && c->kind != "pane" && c->kind != "picture" && c->kind != "static")
            return c;
    return nullptr;
}

OSStatus sendCommand(WindowRef window, uint32_t command);

const char kReturnKey = '\r', kEnterKey = '\x03', kEscapeKey = '\x1b';
const uint32_t kTypeChar = 0x54455854;  // 'TEXT'

// A key event carries its character as UTF-16, as the system's do.
std::vector<uint16_t> utf16Of(const std::string& utf8Character) {
    const unsigned char lead = uint8_t(utf8Character[0]);
    const size_t more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    uint32_t c = more ? lead & (0x3F >> more) : lead;
    for (size_t i = 1; i <= more && i < utf8Character.size(); ++i) c = c << 6 | (uint8_t(utf8Character[i]) & 0x3F);
    if (c < 0x10000) return {uint16_t(c)};
    c -= 0x10000;
    return {uint16_t(0xD800 + (c >> 10)), uint16_t(0xDC00 + (c & 0x3FF))};
}

std::string utf8Of(const std::vector<uint16_t>& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The text's characters, each with its continuation bytes.
std::vector<std::string> charactersOf(const std::string& utf8) {
    std::vector<std::string> out;
    for (unsigned char b : utf8) {
        if ((b & 0xC0) != 0x80 || out.empty()) out.emplace_back();
        out.back() += char(b);
    }
    return out;
}

// A single-line edit box takes a typed key; Return, Enter and Escape are
// the window's.
OSStatus typeIntoEditBox(ControlRef control, EventRef event) {
    unsigned long size = 0;
    if (GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, 0, &size, nullptr) != 0 ||
        size < sizeof(uint16_t))
        return eventNotHandledErr;
    std::vector<uint16_t> units(size / sizeof(uint16_t));
    GetEventParameter(event, kEventParamTextInputSendText, typeUnicodeText, nullptr, size, nullptr, units.data());
    const uint16_t key = units[0];
    if (key == kReturnKey || key == kEnterKey || key == kEscapeKey) return eventNotHandledErr;
    if (key == '\b') {
        std::vector<std::string> characters = charactersOf(control->text);
        if (!characters.empty()) control->text.resize(control->text.size() - characters.back().size());
    } else if (key != '\t' && (key < 0x1c || key > 0x1f)) {
        control->text += utf8Of(units);
    }
    return noErr;
}

// The window's default or cancel button, pressed by its key: shown, it
// sends its command.
OSStatus pressButtonOfKey(WindowRef window, EventRef event) {
    char key = 0;
    if (GetEventParameter(event, kEventParamKeyMacCharCodes, kTypeChar, nullptr, 1, nullptr, &key) != 0)
        return eventNotHandledErr;
    ControlRef button = key == kReturnKey || key == kEnterKey ? window->defaultButton
                        : key == kEscapeKey                   ? window->cancelButton
                                                              : nullptr;
    if (!button || !button->visible) return eventNotHandledErr;
    if (button->command) sendCommand(window, button->command);
    return noErr;
}

// What the toolbox does when no handler took the event.
OSStatus standardHandler(WindowRef window, ControlRef control, EventRef event) {
    if (control && event->eventClass == kEventClassTextInput && event->kind == kEventTextInputUnicodeForKeyEvent)
        return control->kind == "edit" ? typeIntoEditBox(control, event) : eventNotHandledErr;
    if (!window) return eventNotHandledErr;
    if (!control && event->eventClass == kEventClassKeyboard && event->kind == kEventRawKeyDown)
        return pressButtonOfKey(window, event);
    if (event->eventClass == kEventClassCommand) {
        HICommand command;
        if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr,
                              &command) == 0 &&
            command.commandID == kHICommandClose) {
            DisposeWindow(window);
            return noErr;
        }
        return eventNotHandledErr;
    }
    if (event->eventClass == kEventClassMouse && event->kind == kEventMouseDown) {
        Point where;
        GetEventParameter(event, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where);
        Point local{int16_t(where.v - window->content.top), int16_t(where.h - window->content.left)};
        ControlRef c = hitControl(window, local);
        if (!c) return eventNotHandledErr;
        if (c->kind == "checkbox") SetControl32BitValue(c, GetControl32BitValue(c) ? 0 : 1);
        if (c->kind == "radio") SetControl32BitValue(c, 1);
        if (c->command) sendCommand(window, c->command);
        return noErr;
    }
    return eventNotHandledErr;
}

OSStatus runChain(OpaqueEventHandlerCallRef& at, EventRef event) {
    while (at.next < at.chain.size()) {
        HandlerRecord* h = at.chain[at.next++];
        if (!matches(h, event)) continue;
        OpaqueEventHandlerCallRef inner = at;
        inner.calledNext = false;
        OSStatus result = h->proc(&inner, event, h->userData);
        if (inner.calledNext || result != eventNotHandledErr) return result;
    }
    return standardHandler(at.window, at.control, event);
}

OSStatus dispatch(WindowRef window, ControlRef control, EventRef event) {
    OpaqueEventHandlerCallRef at{control ? control->handlers : window->handlers, 0, window, control, false};
    return runChain(at, event);
}

OSStatus sendCommand(WindowRef window, uint32_t command) {
    OpaqueEventRef e = makeEvent(kEventClassCommand, kEventCommandProcess);
    setParam(e, kEventParamDirectObject, typeHICommand, HICommand{0, command});
    return dispatch(window, nullptr, &e);
}

bool isLive(WindowRef window) {
    auto& live = state().live;
    return window && std::find(live.begin(), live.end(), window) != live.end();
}

ControlRef scriptControl(WindowRef window, int32_t id) {
    for (ControlRef c : window->controls)
        if (c->id == id) return c;
    carbonStandInFault("the script names control " + std::to_string(id) + ", which window \"" + window->name +
                       "\" does not have");
    return nullptr;
}

void sendMouse(WindowRef window, uint32_t kind, const CarbonScriptEvent& s) {
    OpaqueEventRef e = makeEvent(kEventClassMouse, kind);
    setParam(e, kEventParamMouseLocation, typeQDPoint,
             Point{clamp16(window->content.top + long(s.v)), clamp16(window->content.left + long(s.h))});
    if (kind == kEventMouseWheelMoved)
        setParam(e, kEventParamMouseWheelDelta, typeSInt32, int32_t(s.value));
    else
        setParam(e, kEventParamClickCount, typeUInt32, uint32_t(kind == kEventMouseDown && s.value > 0 ? s.value : 1));
    dispatch(window, nullptr, &e);
}

void runScriptEvent(WindowRef window, const ScriptEvent& item) {
    const CarbonScriptEvent& s = item.event;
    switch (s.kind) {
        case kScriptCommand: sendCommand(window, s.command); break;
        case kScriptMouseDown: sendMouse(window, kEventMouseDown, s); break;
        case kScriptMouseDrag: sendMouse(window, kEventMouseDragged, s); break;
        case kScriptMouseUp: sendMouse(window, kEventMouseUp, s); break;
        case kScriptWheel: sendMouse(window, kEventMouseWheelMoved, s); break;
        case kScriptKeys: {
            // The focused control has the key first; what it leaves goes to the window.
            ControlRef c = s.controlID ? scriptControl(window, s.controlID) : nullptr;
            if (s.controlID && !c) break;
            for (const std::string& key : charactersOf(item.text)) {
                OSStatus taken = eventNotHandledErr;
                if (c) {
                    OpaqueEventRef e = makeEvent(kEventClassTextInput, kEventTextInputUnicodeForKeyEvent);
                    const std::vector<uint16_t> units = utf16Of(key);
                    SetEventParameter(&e, kEventParamTextInputSendText, typeUnicodeText,
                                      units.size() * sizeof units[0], units.data());
                    taken = dispatch(window, c, &e);
                }
                if (taken == eventNotHandledErr && isLive(window) && key.size() == 1) {
                    OpaqueEventRef e = makeEvent(kEventClassKeyboard, kEventRawKeyDown);
                    SetEventParameter(&e, kEventParamKeyMacCharCodes, kTypeChar, 1, key.data());
                    dispatch(window, nullptr, &e);
                }
                if (!isLive(window) || !window->inModalLoop) return;
            }
            break;
        }
        case kScriptPaste:
            if (ControlRef c = scriptControl(window, s.controlID)) {
                c->text += item.text;
                OpaqueEventRef e = makeEvent(kEventClassTextField, kEventTextDidChange);
                dispatch(window, c, &e);
            }
            break;
        case kScriptSliderTrack:
            if (ControlRef c = scriptControl(window, s.controlID)) {
                SetControl32BitValue(c, s.value);
                if (c->action) c->action(c, kControlIndicatorPart);
            }
            break;
        case kScriptResize: {
            Rect r = window->content;
            r.right = clamp16(r.left + long(s.h));
            r.bottom = clamp16(r.top + long(s.v));
            SetWindowBounds(window, kWindowContentRgn, &r);
            break;
        }
    }
}
}  // namespace

void carbonStandInFault(const std::string& text) { state().faults.push_back(text); }

void carbonStandInDraw(const std::string& line) {
    GrafPtr port = state().currentPort ? state().currentPort : &state().screenPort;
    if (port->window) port->drawing.push_back(line);
}

WindowRef carbonStandInLiveWindow(WindowRef window, const char* caller) {
    if (isLive(window)) return window;
    carbonStandInFault(std::string(caller) + ": " + (window ? "a disposed or unknown window" : "no window"));
    return nullptr;
}

WindowRef carbonStandInNewWindow(const std::string& name, const Rect& content) {
    auto w = std::make_unique<OpaqueWindowPtr>();
    w->name = name;
    w->content = content;
    w->port.window = w.get();
    WindowRef window = w.get();
    state().windows.push_back(std::move(w));
    state().live.push_back(window);
    ++liveWindowCount;
    return window;
}

OpaqueControlRef* carbonStandInAddControl(WindowRef window, OSType signature, int32_t id, const std::string& kind,
                                          const Rect& bounds, uint32_t command, const std::string& text) {
    auto* c = new OpaqueControlRef;
    c->owner = window;
    c->signature = signature;
    c->id = id;
    c->kind = kind;
    c->bounds = bounds;
    c->command = command;
    c->text = text;
    if (kind == "slider") c->maximum = 100;
    window->controls.push_back(c);
    return c;
}

bool carbonStandInIsBundle(const void* cf) {
    for (auto& b : state().bundles)
        if (b.second.get() == cf) return true;
    return false;
}

// Bundles and nibs ----------------------------------------------------------

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
    if (carbonStandInNullObject(bundleID, "CFBundleGetBundleWithIdentifier")) return nullptr;
    auto it = state().bundles.find(bundleID->text);
    return it == state().bundles.end() ? nullptr : it->second.get();
}

OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef) {
    if (!inNibName || !outNibRef) return paramErr;
    *outNibRef = nullptr;
    if (inNibName->text == state().failingNib) return -43;  // fnfErr
    if (inBundle && !carbonStandInIsBundle(inBundle)) return paramErr;
    if (inBundle && !std::ifstream(inBundle->folder + "/" + inNibName->text + ".nib.txt")) return -43;
    *outNibRef = new OpaqueIBNibRef{inNibName->text, inBundle};
    return noErr;
}

OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef) {
    return CreateNibReferenceWithCFBundle(nullptr, inNibName, outNibRef);
}

OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow) {
    if (!inNibRef || !inName || !outWindow) return paramErr;
    *outWindow = nullptr;
    if (state().windowFailures > 0) {
        --state().windowFailures;
        return memFullErr;
    }
    if (!inNibRef->bundle) {
        *outWindow = carbonStandInNewWindow(inName->text, Rect{44, 20, 44, 20});
        return noErr;
    }
    if (!buildFromNib(inNibRef->bundle->folder + "/" + inNibRef->name + ".nib.txt", inName->text, outWindow))
        return -43;
    return noErr;
}

void DisposeNibReference(IBNibRef inNibRef) { delete inNibRef; }

// Windows ---------------------------------------------------------------------

void ShowWindow(WindowRef window) {
    if (carbonStandInLiveWindow(window, "ShowWindow")) window->visible = true;
}

void DisposeWindow(WindowRef window) {
    if (!carbonStandInLiveWindow(window, "DisposeWindow")) return;
    State& s = state();
    s.live.erase(std::find(s.live.begin(), s.live.end(), window));
    window->inModalLoop = false;
    if (s.currentPort == &window->port) s.currentPort = &s.screenPort;
    for (ControlRef c : window->controls) {
        for (HandlerRecord* h : c->handlers) delete h;
        delete c;
    }
    window->controls.clear();
    window->defaultButton = window->cancelButton = nullptr;
    for (HandlerRecord* h : window->handlers) delete h;
    window->handlers.clear();
    for (auto& w : s.windows)
        if (w.get() == window) {
            s.graveyard.push_back(std::move(w));
            s.windows.erase(std::find(s.windows.begin(), s.windows.end(), nullptr));
            break;
        }
    --liveWindowCount;
}

OSStatus GetWindowBounds(WindowRef window, uint16_t, Rect* globalBounds) {
    if (!carbonStandInLiveWindow(window, "GetWindowBounds")) return errInvalidWindowRef;
    if (!globalBounds) return paramErr;
    *globalBounds = window->content;
    return noErr;
}

OSStatus SetWindowBounds(WindowRef window, uint16_t, const Rect* globalBounds) {
    if (!carbonStandInLiveWindow(window, "SetWindowBounds")) return errInvalidWindowRef;
    if (!globalBounds) return paramErr;
    const Rect previous = window->content;
    Rect proposed = *globalBounds;
    auto attributes = [&](const Rect& r) {
        uint32_t a = 0;
        if (r.right - r.left != previous.right - previous.left || r.bottom - r.top != previous.bottom - previous.top)
            a |= kWindowBoundsChangeSizeChanged;
        if (r.left != previous.left || r.top != previous.top) a |= kWindowBoundsChangeOriginChanged;
        return a;
    };
    auto boundsEvent = [&](uint32_t kind, const Rect& bounds) {
        OpaqueEventRef e = makeEvent(kEventClassWindow, kind);
        setParam(e, kEventParamDirectObject, typeWindowRef, window);
        setParam(e, kEventParamCurrentBounds, typeQDRectangle, bounds);
        setParam(e, kEventParamPreviousBounds, typeQDRectangle, previous);
        setParam(e, kEventParamAttributes, typeUInt32, attributes(bounds));
        dispatch(window, nullptr, &e);
        return e;
    };
    OpaqueEventRef changing = boundsEvent(kEventWindowBoundsChanging, proposed);
    if (!isLive(window)) return noErr;
    GetEventParameter(&changing, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof proposed, nullptr,
                      &proposed);
    window->content = proposed;
    boundsEvent(kEventWindowBoundsChanged, proposed);
    return noErr;
}

OSStatus RepositionWindow(WindowRef window, WindowRef, uint32_t) {
    if (!carbonStandInLiveWindow(window, "RepositionWindow")) return errInvalidWindowRef;
    const Rect& s = state().screen;
    Rect r = window->content;
    const long width = r.right - r.left, height = r.bottom - r.top;
    const long left = s.left + (s.right - s.left - width) / 2;
    const long top = std::max<long>(s.top + kMenuBarHeight + kTitleBarHeight,
                                    s.top + kMenuBarHeight + (s.bottom - s.top - kMenuBarHeight - height) / 3);
    r = Rect{clamp16(top), clamp16(left), clamp16(top + height), clamp16(left + width)};
    return SetWindowBounds(window, kWindowContentRgn, &r);
}

OSStatus ConstrainWindowToScreen(WindowRef window, uint16_t, uint32_t, const Rect*, Rect* structure) {
    if (!carbonStandInLiveWindow(window, "ConstrainWindowToScreen")) return errInvalidWindowRef;
    const Rect& s = state().screen;
    const long minTop = s.top + kMenuBarHeight + kTitleBarHeight;
    Rect r = window->content;
    long width = std::min<long>(r.right - r.left, s.right - s.left);
    long height = std::min<long>(r.bottom - r.top, s.bottom - minTop);
    long left = std::clamp<long>(r.left, s.left, s.right - width);
    long top = std::clamp<long>(r.top, minTop, s.bottom - height);
    r = Rect{clamp16(top), clamp16(left), clamp16(top + height), clamp16(left + width)};
    OSStatus err = SetWindowBounds(window, kWindowContentRgn, &r);
    if (structure && isLive(window)) *structure = window->content;
    return err;
}

OSStatus SetWindowTitleWithCFString(WindowRef window, CFStringRef title) {
    if (!carbonStandInLiveWindow(window, "SetWindowTitleWithCFString")) return errInvalidWindowRef;
    if (carbonStandInNullObject(title, "SetWindowTitleWithCFString")) return paramErr;
    window->title = title->text;
    return noErr;
}

void SetWRefCon(WindowRef window, long data) {
    if (carbonStandInLiveWindow(window, "SetWRefCon")) window->refCon = data;
}

long GetWRefCon(WindowRef window) {
    return carbonStandInLiveWindow(window, "GetWRefCon") ? window->refCon : 0;
}

void GetMainScreenBounds(Rect* bounds) {
    if (bounds) *bounds = state().screen;
}

int16_t GetMBarHeight() { return kMenuBarHeight; }

RgnHandle GetGrayRgn() { return &state().grayRegion; }

Rect* GetRegionBounds(RgnHandle region, Rect* bounds) {
    if (!bounds) return bounds;
    *bounds = Rect{0, 0, 0, 0};
    if (region == &state().grayRegion) {
        *bounds = state().screen;
        bounds->top = int16_t(bounds->top + kMenuBarHeight);
    }
    return bounds;
}

void InsetRect(Rect* r, int16_t dh, int16_t dv) {
    if (!r) return;
    r->left = int16_t(r->left + dh);
    r->right = int16_t(r->right - dh);
    r->top = int16_t(r->top + dv);
    r->bottom = int16_t(r->bottom - dv);
}

// Ports and drawing -----------------------------------------------------------

CGrafPtr GetWindowPort(WindowRef window) {
    return carbonStandInLiveWindow(window, "GetWindowPort") ? &window->port : nullptr;
}

void GetPort(GrafPtr* port) {
    if (port) *port = state().currentPort ? state().currentPort : &state().screenPort;
}

void SetPort(GrafPtr port) {
    if (port && port != &state().screenPort && !isLive(port->window)) {
        carbonStandInFault("SetPort: the port of a disposed window");
        return;
    }
    state().currentPort = port;
}

void SetPortWindowPort(WindowRef window) {
    if (carbonStandInLiveWindow(window, "SetPortWindowPort")) state().currentPort = &window->port;
}

WindowRef GetWindowFromPort(CGrafPtr port) { return port ? port->window : nullptr; }

namespace {
PenState& pen() {
    GrafPtr port;
    GetPort(&port);
    return port->pen;
}
std::string penText() {
    return " pen " + std::to_string(pen().pnSize.h) + " " + std::to_string(pen().pnSize.v);
}
}  // namespace

void EraseRect(const Rect* r) {
    if (!r) return;
    carbonStandInDraw("erase " + rectText(*r));
    GrafPtr port;
    GetPort(&port);
    carbonStandInPaintPort(port, r->top, r->left, r->right - r->left, r->bottom - r->top, nullptr);
}

void GetPenState(PenState* s) {
    if (s) *s = pen();
}

void SetPenState(const PenState* s) {
    if (s) pen() = *s;
}

void PenSize(int16_t width, int16_t height) { pen().pnSize = Point{height, width}; }

void PenNormal() { pen() = PenState{pen().pnLoc, {1, 1}, 8}; }

void MoveTo(int16_t h, int16_t v) { pen().pnLoc = Point{v, h}; }

void LineTo(int16_t h, int16_t v) {
    Point from = pen().pnLoc;
    carbonStandInDraw("line " + std::to_string(from.h) + " " + std::to_string(from.v) + " " + std::to_string(h) + " " +
                      std::to_string(v) + penText());
    pen().pnLoc = Point{v, h};
}

void FrameRoundRect(const Rect* r, int16_t ovalWidth, int16_t ovalHeight) {
    if (r)
        carbonStandInDraw("roundrect " + rectText(*r) + " oval " + std::to_string(ovalWidth) + " " +
                          std::to_string(ovalHeight) + penText());
}

void InvalWindowRect(WindowRef window, const Rect* bounds) {
    if (carbonStandInLiveWindow(window, "InvalWindowRect") && bounds)
        window->port.drawing.push_back("inval " + rectText(*bounds));
}

uint32_t TickCount() { return state().ticks; }

void Delay(unsigned long ticks, unsigned long* finalTicks) {
    state().ticks += uint32_t(ticks);
    if (finalTicks) *finalTicks = state().ticks;
}

// Controls --------------------------------------------------------------------

OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl) {
    if (outControl) *outControl = nullptr;
    if (!carbonStandInLiveWindow(inWindow, "GetControlByID")) return errInvalidWindowRef;
    if (!inID || !outControl) return paramErr;
    for (ControlRef c : inWindow->controls)
        if (c->signature == inID->signature && c->id == inID->id) {
            *outControl = c;
            return noErr;
        }
    return errUnknownControl;
}

int32_t GetControl32BitValue(ControlRef control) { return control ? control->value : 0; }

void SetControl32BitValue(ControlRef control, int32_t value) {
    if (control) control->value = std::clamp(value, control->minimum, std::max(control->minimum, control->maximum));
}

int32_t GetControl32BitMinimum(ControlRef control) { return control ? control->minimum : 0; }

void SetControl32BitMinimum(ControlRef control, int32_t value) {
    if (!control) return;
    control->minimum = value;
    SetControl32BitValue(control, control->value);
}

int32_t GetControl32BitMaximum(ControlRef control) { return control ? control->maximum : 0; }

void SetControl32BitMaximum(ControlRef control, int32_t value) {
    if (!control) return;
    control->maximum = value;
    SetControl32BitValue(control, control->value);
}

Rect* GetControlBounds(ControlRef control, Rect* bounds) {
    if (control && bounds) *bounds = control->bounds;
    return bounds;
}

void SetControlBounds(ControlRef control, const Rect* bounds) {
    if (control && bounds) control->bounds = *bounds;
}

OSStatus HideControl(ControlRef control) {
    if (!control) return paramErr;
    control->visible = false;
    return noErr;
}

OSStatus ShowControl(ControlRef control) {
    if (!control) return paramErr;
    control->visible = true;
    return noErr;
}

Boolean IsControlVisible(ControlRef control) { return control && control->visible; }

WindowRef GetControlOwner(ControlRef control) { return control ? control->owner : nullptr; }

OSStatus GetControlCommandID(ControlRef control, uint32_t* outCommandID) {
    if (!control || !outCommandID) return paramErr;
    *outCommandID = control->command;
    return noErr;
}

void HiliteControl(ControlRef control, ControlPartCode part) {
    if (control) control->hilite = part;
}

namespace {
// A window's default or cancel button: one of its own, or none.
OSStatus setWindowButton(WindowRef window, ControlRef control, ControlRef OpaqueWindowPtr::*slot, const char* caller) {
    if (!carbonStandInLiveWindow(window, caller)) return errInvalidWindowRef;
    if (control && control->owner != window) return paramErr;
    window->*slot = control;
    return noErr;
}

OSStatus getWindowButton(WindowRef window, ControlRef* control, ControlRef OpaqueWindowPtr::*slot, const char* caller) {
    if (control) *control = nullptr;
    if (!carbonStandInLiveWindow(window, caller)) return errInvalidWindowRef;
    if (!control) return paramErr;
    *control = window->*slot;
    return noErr;
}
}  // namespace

OSStatus SetWindowDefaultButton(WindowRef inWindow, ControlRef inControl) {
    return setWindowButton(inWindow, inControl, &OpaqueWindowPtr::defaultButton, "SetWindowDefaultButton");
}
OSStatus SetWindowCancelButton(WindowRef inWindow, ControlRef inControl) {
    return setWindowButton(inWindow, inControl, &OpaqueWindowPtr::cancelButton, "SetWindowCancelButton");
}
OSStatus GetWindowDefaultButton(WindowRef inWindow, ControlRef* outControl) {
    return getWindowButton(inWindow, outControl, &OpaqueWindowPtr::defaultButton, "GetWindowDefaultButton");
}
OSStatus GetWindowCancelButton(WindowRef inWindow, ControlRef* outControl) {
    return getWindowButton(inWindow, outControl, &OpaqueWindowPtr::cancelButton, "GetWindowCancelButton");
}

OSStatus SetControlData(ControlRef control, int32_t, OSType tag, Size size, const void* data) {
    if (!control || !data || tag != kControlEditTextCFStringTag || size != Size(sizeof(CFStringRef))) return paramErr;
    CFStringRef text = *static_cast<const CFStringRef*>(data);
    if (carbonStandInNullObject(text, "SetControlData")) return paramErr;
    control->text = text->text;
    return noErr;
}

OSStatus GetControlData(ControlRef control, int32_t, OSType tag, Size size, void* data, Size* actualSize) {
    if (!control || tag != kControlEditTextCFStringTag) return paramErr;
    if (actualSize) *actualSize = sizeof(CFStringRef);
    if (!data) return noErr;
    if (size < Size(sizeof(CFStringRef))) return paramErr;
    CFStringRef copy = carbonStandInNewString(control->text);
    std::memcpy(data, &copy, sizeof copy);
    return noErr;
}

void SetControlAction(ControlRef control, ControlActionUPP action) {
    if (control) control->action = action;
}

// Events ----------------------------------------------------------------------

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc) { return proc; }
void DisposeEventHandlerUPP(EventHandlerUPP) {}
ControlActionUPP NewControlActionUPP(ControlActionProcPtr proc) { return proc; }

namespace {
OSStatus install(std::vector<HandlerRecord*>& chain, EventHandlerUPP handler, ItemCount numTypes,
                 const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    if (!handler || (numTypes > 0 && !list)) return paramErr;
    auto* h = new HandlerRecord{handler, std::vector<EventTypeSpec>(list, list + numTypes), userData};
    // The last installed runs first.
    chain.insert(chain.begin(), h);
    if (outRef) *outRef = reinterpret_cast<EventHandlerRef>(h);
    return noErr;
}
}  // namespace

OSStatus InstallWindowEventHandler(WindowRef window, EventHandlerUPP handler, ItemCount numTypes,
                                   const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    if (!carbonStandInLiveWindow(window, "InstallWindowEventHandler")) return errInvalidWindowRef;
    return install(window->handlers, handler, numTypes, list, userData, outRef);
}

OSStatus InstallControlEventHandler(ControlRef control, EventHandlerUPP handler, ItemCount numTypes,
                                    const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    if (!control) return paramErr;
    return install(control->handlers, handler, numTypes, list, userData, outRef);
}

OSStatus RemoveEventHandler(EventHandlerRef handler) {
    if (!handler) return paramErr;
    reinterpret_cast<HandlerRecord*>(handler)->removed = true;
    return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent) {
    if (!inCallRef || !inEvent) return paramErr;
    inCallRef->calledNext = true;
    OpaqueEventHandlerCallRef rest = *inCallRef;
    return runChain(rest, inEvent);
}

uint32_t GetEventClass(EventRef event) { return event ? event->eventClass : 0; }
uint32_t GetEventKind(EventRef event) { return event ? event->kind : 0; }

OSStatus GetEventParameter(EventRef event, uint32_t name, uint32_t desiredType, uint32_t* actualType,
                           unsigned long bufferSize, unsigned long* actualSize, void* data) {
    if (!event) return paramErr;
    auto it = event->params.find(name);
    if (it == event->params.end() || it->second.first != desiredType) return eventParameterNotFoundErr;
    const std::vector<uint8_t>& bytes = it->second.second;
    if (actualType) *actualType = it->second.first;
    if (actualSize) *actualSize = bytes.size();
    if (!data) return noErr;
    if (bufferSize < bytes.size()) return paramErr;
    std::memcpy(data, bytes.data(), bytes.size());
    return noErr;
}

OSStatus SetEventParameter(EventRef event, uint32_t name, uint32_t type, unsigned long size, const void* data) {
    if (!event || (size && !data)) return paramErr;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    event->params[name] = {type, std::vector<uint8_t>(p, p + size)};
    return noErr;
}

OSStatus RunAppModalLoopForWindow(WindowRef window) {
    if (!carbonStandInLiveWindow(window, "RunAppModalLoopForWindow")) return errInvalidWindowRef;
    State& s = state();
    window->inModalLoop = true;
    for (int turn = 0; isLive(window) && window->inModalLoop && turn < kModalTurnLimit; ++turn) {
        if (!s.script.empty()) {
            ScriptEvent next = s.script.front();
            s.script.pop_front();
            runScriptEvent(window, next);
            continue;
        }
        uint32_t command = s.responder ? s.responder(window->name.c_str(), s.responderContext) : 0;
        sendCommand(window, command ? command : kHICommandCancel);
        if (!command) break;
    }
    if (isLive(window)) window->inModalLoop = false;
    return noErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef window) {
    if (!carbonStandInLiveWindow(window, "QuitAppModalLoopForWindow")) return errInvalidWindowRef;
    window->inModalLoop = false;
    return noErr;
}

OSStatus SetThemeCursor(ThemeCursor cursor) {
    state().cursor = cursor;
    return noErr;
}

void InitCursor() { state().cursor = kThemeArrowCursor; }

// The stand-in's side -----------------------------------------------------------

void CarbonStandInQueueScript(const CarbonScriptEvent* events, int count) {
    // The texts are copied: the caller's may be gone when the loop runs.
    for (int i = 0; events && i < count; ++i) {
        state().script.push_back({events[i], events[i].text ? events[i].text : ""});
        state().script.back().event.text = nullptr;
    }
}

void CarbonStandInClearScript() { state().script.clear(); }
int CarbonStandInScriptLeft() { return int(state().script.size()); }

void CarbonStandInSetModalResponder(CarbonModalResponder responder, void* context) {
    state().responder = responder;
    state().responderContext = context;
}

void CarbonStandInAddBundle(const char* identifier, const char* folder) {
    if (!identifier) return;
    auto& slot = state().bundles[identifier];
    if (!slot) slot = std::make_unique<__CFBundle>();
    *slot = __CFBundle{identifier, folder ? folder : ""};
}

void CarbonStandInRemoveBundles() { state().bundles.clear(); }

void CarbonStandInFailNib(const char* nibName) { state().failingNib = nibName ? nibName : ""; }
void CarbonStandInFailWindows(int n) { state().windowFailures = n; }

void CarbonStandInSetMainScreen(int width, int height) {
    state().screen = Rect{0, 0, clamp16(height), clamp16(width)};
}

long CarbonStandInLiveWindows() { return liveWindowCount.load(); }
long CarbonStandInFaults() { return long(state().faults.size()); }
const char* CarbonStandInFirstFault() { return state().faults.empty() ? nullptr : state().faults[0].c_str(); }
void CarbonStandInClearFaults() { state().faults.clear(); }
ThemeCursor CarbonStandInCursor() { return state().cursor; }

int CarbonStandInWindowCount() { return int(state().live.size()); }

WindowRef CarbonStandInWindowAt(int index) {
    return index >= 0 && index < int(state().live.size()) ? state().live[size_t(index)] : nullptr;
}

const char* CarbonStandInWindowName(WindowRef window) {
    return carbonStandInLiveWindow(window, "CarbonStandInWindowName") ? window->name.c_str() : nullptr;
}

const char* CarbonStandInWindowTitle(WindowRef window) {
    return carbonStandInLiveWindow(window, "CarbonStandInWindowTitle") ? window->title.c_str() : nullptr;
}

Boolean CarbonStandInWindowVisible(WindowRef window) { return isLive(window) && window->visible; }

int CarbonStandInControlCount(WindowRef window) { return isLive(window) ? int(window->controls.size()) : 0; }

Boolean CarbonStandInControlAt(WindowRef window, int index, CarbonControlInfo* info) {
    if (!isLive(window) || !info || index < 0 || index >= int(window->controls.size())) return false;
    ControlRef c = window->controls[size_t(index)];
    *info = CarbonControlInfo{c->signature, c->id,      c->kind.c_str(), c->bounds,  c->value,
                              c->minimum,   c->maximum, c->visible,      c->hilite,  c->command,
                              c->text.c_str()};
    return true;
}

int CarbonStandInDrawingCount(WindowRef window) { return isLive(window) ? int(window->port.drawing.size()) : 0; }

const char* CarbonStandInDrawingAt(WindowRef window, int index) {
    if (!isLive(window) || index < 0 || index >= int(window->port.drawing.size())) return nullptr;
    return window->port.drawing[size_t(index)].c_str();
}

void CarbonStandInForgetDrawing(WindowRef window) {
    if (isLive(window)) window->port.drawing.clear();
}

// What hosts drew on the windows' ports, as a screen holds it ----------------

namespace {
// Where a port's window has not been drawn on, its controls show.
struct Canvas {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb, drawn;
};

std::map<GrafPtr, Canvas>& canvases() {
    static std::map<GrafPtr, Canvas> c;
    return c;
}

const uint8_t kEraseColour = 236;  // the theme's window background
}  // namespace

void carbonStandInPaintPort(GrafPtr port, int32_t top, int32_t left, int32_t width, int32_t height,
                            const uint8_t* rgb) {
    // The canvases of disposed windows go at the next drawing.
    for (auto it = canvases().begin(); it != canvases().end();)
        it = isLive(it->first->window) ? std::next(it) : canvases().erase(it);
    if (!port || !isLive(port->window) || width <= 0 || height <= 0) return;
    const Rect& content = port->window->content;
    Canvas& c = canvases()[port];
    const int32_t w = content.right - content.left, h = content.bottom - content.top;
    if (c.width != w || c.height != h) {
        // A resized window keeps what lies in both sizes.
        Canvas resized{w, h, std::vector<uint8_t>(size_t(w) * h * 3), std::vector<uint8_t>(size_t(w) * h)};
        for (int32_t y = 0; y < std::min(h, c.height); ++y)
            for (int32_t x = 0; x < std::min(w, c.width); ++x) {
                resized.drawn[size_t(y) * w + x] = c.drawn[size_t(y) * c.width + x];
                std::memcpy(&resized.rgb[(size_t(y) * w + x) * 3], &c.rgb[(size_t(y) * c.width + x) * 3], 3);
            }
        c = std::move(resized);
    }
    for (int32_t y = std::max(top, 0); y < std::min(top + height, h); ++y)
        for (int32_t x = std::max(left, 0); x < std::min(left + width, w); ++x) {
            uint8_t* p = &c.rgb[(size_t(y) * w + x) * 3];
            if (rgb)
                std::memcpy(p, rgb + (size_t(y - top) * width + (x - left)) * 3, 3);
            else
                p[0] = p[1] = p[2] = kEraseColour;
            c.drawn[size_t(y) * w + x] = 1;
        }
}

void CarbonStandInDrawPixels(CGrafPtr port, int32_t top, int32_t left, int32_t width, int32_t height,
                             const uint8_t* rgb) {
    if (!rgb) return;
    if (port && port != &state().screenPort && !isLive(port->window)) {
        carbonStandInFault("CarbonStandInDrawPixels: the port of a disposed window");
        return;
    }
    carbonStandInDraw("pixels " + std::to_string(top) + " " + std::to_string(left) + " " +
                      std::to_string(top + height) + " " + std::to_string(left + width));
    carbonStandInPaintPort(port, top, left, width, height, rgb);
}

Boolean CarbonStandInIsWindowPort(const void* port) {
    for (WindowRef w : state().live)
        if (&w->port == port) return true;
    return false;
}

Boolean CarbonStandInPortPixel(WindowRef window, int32_t h, int32_t v, uint8_t rgb[3]) {
    if (!isLive(window)) return false;
    auto it = canvases().find(&window->port);
    if (it == canvases().end()) return false;
    const Canvas& c = it->second;
    if (h < 0 || v < 0 || h >= c.width || v >= c.height || !c.drawn[size_t(v) * c.width + h]) return false;
    std::memcpy(rgb, &c.rgb[(size_t(v) * c.width + h) * 3], 3);
    return true;
}
