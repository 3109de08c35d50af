// The stand-in's own records behind the opaque Carbon types, shared by its
// sources; nothing outside platform/carbon sees them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Carbon.h"

// The system's result codes that the host interface's types also name.
enum : int16_t { noErr = 0, paramErr = -50, memFullErr = -108 };

// Held as UTF-8.  Only a string made from a C string keeps those bytes, in
// the encoding it was made from: the one form CFStringGetCStringPtr hands
// out, as Core Foundation gives no pointer into strings it made otherwise.
struct __CFString {
    std::string text;
    bool madeFromCString = false;
    CFStringEncoding cStringEncoding = 0;
    std::string cString;
};

// A bundle found by its identifier; its nibs are text tables in its folder.
struct __CFBundle {
    std::string identifier;
    std::string folder;
};

struct HandlerRecord {
    EventHandlerUPP proc;
    std::vector<EventTypeSpec> types;
    void* userData;
    bool removed = false;
};

struct OpaqueControlRef {
    WindowRef owner = nullptr;
    OSType signature = 0;
    int32_t id = 0;
    std::string kind;
    Rect bounds{0, 0, 0, 0};
    int32_t value = 0, minimum = 0, maximum = 1;
    bool visible = true;
    int16_t hilite = 0;
    uint32_t command = 0;
    std::string text;
    ControlActionUPP action = nullptr;
    std::vector<HandlerRecord*> handlers;
};

struct OpaqueGrafPtr {
    WindowRef window = nullptr;  // null for the screen
    PenState pen{{0, 0}, {1, 1}, 8};
    std::vector<std::string> drawing;
};

struct OpaqueWindowPtr {
    std::string name;
    std::string title;
    Rect content;  // global
    std::vector<OpaqueControlRef*> controls;
    std::vector<HandlerRecord*> handlers;
    OpaqueGrafPtr port;
    DialogRef dialog = nullptr;
    ControlRef defaultButton = nullptr, cancelButton = nullptr;
    long refCon = 0;
    bool inModalLoop = false;
    bool visible = false;
};

struct DialogItemRecord {
    int16_t type;
    ControlRef control;  // every item keeps its text, bounds and value here
    UserItemUPP userProc;
};

// A standard alert, or a dialog of the Dialog Manager over a window.
struct OpaqueDialogPtr {
    std::string message;
    WindowRef window = nullptr;
    std::vector<DialogItemRecord> items;
    int16_t selectedItem = 0;
    int16_t selectionStart = 0, selectionEnd = 0;
};

// A string the system makes (a control's text, a file dialog's reply), from
// UTF-8; the caller releases it.
CFStringRef carbonStandInNewString(std::string utf8);
// True, with a fault written down, when a Core Foundation object handed to
// caller is NULL: the system would crash there.
bool carbonStandInNullObject(const void* cf, const char* caller);

// The stand-in's bundles are never freed, like the system's.
bool carbonStandInIsBundle(const void* cf);
// A live window, or null with a fault written down for a dead or unknown one.
WindowRef carbonStandInLiveWindow(WindowRef window, const char* caller);
WindowRef carbonStandInNewWindow(const std::string& name, const Rect& content);
OpaqueControlRef* carbonStandInAddControl(WindowRef window, OSType signature, int32_t id, const std::string& kind,
                                          const Rect& bounds, uint32_t command, const std::string& text);
void carbonStandInFault(const std::string& text);
void carbonStandInDraw(const std::string& line);
// Paints width x height pixels of RGB (null: the erase colour) at (top,
// left) of the port's window, as the screen would show them.
void carbonStandInPaintPort(GrafPtr port, int32_t top, int32_t left, int32_t width, int32_t height,
                            const uint8_t* rgb);
