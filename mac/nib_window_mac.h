// Windows from the product's nib, shared by the dialog and the About window.
#pragma once

#include <Carbon.h>

struct ReleasedString {
    CFStringRef s;
    explicit ReleasedString(const char* text) : s(CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII)) {}
    ~ReleasedString() {
        if (s) CFRelease(s);
    }
    ReleasedString(const ReleasedString&) = delete;
    ReleasedString& operator=(const ReleasedString&) = delete;
};

// The named window of nib "PrototypeGUI" in the product's bundle, or null
// after the debugger message ("CantGetNibRef" or "CantCreateWindow").
WindowRef createNibWindow(const char* name);

// Runs the window modally with the command handler and disposes of it, once,
// whatever ended the loop.
void runAndDispose(WindowRef window, EventHandlerProcPtr handler);
