#include "mac/nib_window_mac.h"

#include <cstdio>
#include <vector>

#include "engine/product.h"

WindowRef createNibWindow(const char* name) {
    ReleasedString bundleID(kMacBundleIdentifier);
    ReleasedString nibName("PrototypeGUI");
    ReleasedString windowName(name);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID.s);
    IBNibRef nib = nullptr;
    if (!bundle || CreateNibReferenceWithCFBundle(bundle, nibName.s, &nib) != 0) {
        std::fputs("CantGetNibRef\n", stderr);
        return nullptr;
    }
    WindowRef window = nullptr;
    const OSStatus err = CreateWindowFromNib(nib, windowName.s, &window);
    DisposeNibReference(nib);
    if (err != 0 || !window) {
        std::fputs("CantCreateWindow\n", stderr);
        return nullptr;
    }
    return window;
}

void runAndDispose(WindowRef window, EventHandlerProcPtr handler) {
    const EventTypeSpec commands[] = {{kEventClassCommand, kEventCommandProcess}};
    InstallWindowEventHandler(window, NewEventHandlerUPP(handler), 1, commands, window, nullptr);
    ShowWindow(window);
    RunAppModalLoopForWindow(window);
    DisposeWindow(window);
}

bool utf8Text(CFStringRef s, std::string& text) {
    text.clear();
    if (!s) return false;
    const CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
    if (size <= 0) return false;
    std::vector<char> buffer(size_t(size), '\0');
    if (!CFStringGetCString(s, buffer.data(), size, kCFStringEncodingUTF8)) return false;
    text = buffer.data();
    return true;
}
