// Windows from the product's nib, shared by the dialog and the About window,
// and the Core Foundation strings that name them and carry their texts.
#pragma once

#include <Carbon.h>

#include <string>

// A string held for a scope: made from ASCII text (null for any other), or
// taken over from a call that made or copied it (null when it gave none).
struct ReleasedString {
    CFStringRef s;
    explicit ReleasedString(const char* text) : s(CFStringCreateWithCString(nullptr, text, kCFStringEncodingASCII)) {}
    explicit ReleasedString(CFStringRef made) : s(made) {}
    ~ReleasedString() {
        if (s) CFRelease(s);
    }
    ReleasedString(const ReleasedString&) = delete;
    ReleasedString& operator=(const ReleasedString&) = delete;
};

// The string's text as UTF-8, through a buffer of the size its length may
// need: Core Foundation hands out no pointer into most strings, none into
// the texts that controls give back.  False, and no text, for a null string
// or one that cannot be converted.
bool utf8Text(CFStringRef s, std::string& text);

// The named window of nib "PrototypeGUI" in the product's bundle, or null
// after the debugger message ("CantGetNibRef" or "CantCreateWindow").
WindowRef createNibWindow(const char* name);

// Runs the window modally with the command handler and disposes of it, once,
// whatever ended the loop.
void runAndDispose(WindowRef window, EventHandlerProcPtr handler);
