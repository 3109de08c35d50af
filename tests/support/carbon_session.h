// A dialog on the Carbon stand-in steered as a person would: a session
// waits until the dialog is open, queues its scripted events, then looks at
// the window and answers OK or Cancel.  Recomputes are counted in the
// host's buffer log.  Nothing here depends on a product, so a test of a
// loaded module answers its dialog the same way.
#pragma once

#include <gtest/gtest.h>

#include <Carbon.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "refhost/refhost.h"

namespace carbon_session {

constexpr uint32_t cmd(const char (&c)[5]) {
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8 |
           uint8_t(c[3]);
}
// A command the dialog does not know: it passes through and changes nothing.
constexpr uint32_t kNothing = cmd("nop ");

inline WindowRef dialogWindow() {
    for (int i = CarbonStandInWindowCount() - 1; i >= 0; --i) {
        WindowRef w = CarbonStandInWindowAt(i);
        if (std::strcmp(CarbonStandInWindowName(w), "prototypeDialog") == 0) return w;
    }
    return nullptr;
}

inline bool controlInfo(WindowRef window, int32_t id, CarbonControlInfo& info) {
    for (int i = 0; i < CarbonStandInControlCount(window); ++i)
        if (CarbonStandInControlAt(window, i, &info) && info.id == id) return true;
    return false;
}
inline std::string textOf(WindowRef window, int32_t id) {
    CarbonControlInfo info;
    return controlInfo(window, id, info) ? info.text : "(none)";
}
inline int32_t valueOf(WindowRef window, int32_t id) {
    CarbonControlInfo info;
    return controlInfo(window, id, info) ? info.value : -1;
}
inline bool visible(WindowRef window, int32_t id) {
    CarbonControlInfo info;
    return controlInfo(window, id, info) && info.visible;
}

inline CarbonScriptEvent command(uint32_t c) { return {kScriptCommand, c, 0, 0, 0, 0, nullptr}; }
inline CarbonScriptEvent keys(int32_t id, const char* text) { return {kScriptKeys, 0, id, 0, 0, 0, text}; }
inline CarbonScriptEvent paste(int32_t id, const char* text) { return {kScriptPaste, 0, id, 0, 0, 0, text}; }
inline CarbonScriptEvent slide(int32_t id, int32_t value) { return {kScriptSliderTrack, 0, id, 0, 0, value, nullptr}; }
// A press in the middle of a control of the window, clicks times.
inline CarbonScriptEvent click(WindowRef window, int32_t id, int32_t clicks = 1) {
    CarbonControlInfo info{};
    EXPECT_TRUE(controlInfo(window, id, info)) << "no control " << id;
    return {kScriptMouseDown, 0, 0, (info.bounds.left + info.bounds.right) / 2,
            (info.bounds.top + info.bounds.bottom) / 2, clicks, nullptr};
}
inline CarbonScriptEvent pressAt(int32_t h, int32_t v, int32_t clicks) {
    return {kScriptMouseDown, 0, 0, h, v, clicks, nullptr};
}

// Recomputes in the buffer log from entry mark on: a recompute takes the
// interleaved copy of the source proxy and its result, two buffers of one
// size one after the other, runs the engine inside them (buffers of other
// sizes) and frees them in reverse order.
inline int recomputesSince(refhost::Host& host, size_t mark) {
    const auto& log = host.buffers().log();
    const size_t none = log.size();
    std::vector<size_t> freedAt(log.size(), none);
    std::map<BufferID, size_t> open;
    for (size_t i = 0; i < log.size(); ++i) {
        if (log[i].allocation && log[i].id) {
            open[log[i].id] = i;
        } else if (!log[i].allocation) {
            auto it = open.find(log[i].id);
            if (it == open.end()) continue;
            freedAt[it->second] = i;
            open.erase(it);
        }
    }
    int count = 0;
    for (size_t i = mark; i + 1 < log.size(); ++i) {
        const auto &a = log[i], &b = log[i + 1];
        if (!a.allocation || !b.allocation || !a.id || !b.id || a.size != b.size) continue;
        if (freedAt[i + 1] == none || freedAt[i] != freedAt[i + 1] + 1) continue;
        bool engineInside = false;
        for (size_t j = i + 2; j < freedAt[i + 1]; ++j)
            engineInside = engineInside || (log[j].allocation && log[j].size != a.size);
        count += engineInside;
    }
    return count;
}

// One dialog as a person uses it: act queues the input once the dialog is
// open, look checks what it left, answer ends the dialog.
struct Session {
    std::function<void(WindowRef)> act;
    std::function<void(WindowRef)> look;
    uint32_t answer = kHICommandOK;
    refhost::Host* host = nullptr;
    int phase = 0;
    size_t mark = 0;
    int recomputes = -1;
    bool looked = false;

    static uint32_t respond(const char* windowName, void* context) {
        Session& s = *static_cast<Session*>(context);
        if (std::strcmp(windowName, "prototypeDialog") != 0) return kHICommandCancel;
        WindowRef window = dialogWindow();
        if (s.phase++ == 0) {
            s.mark = s.host ? s.host->buffers().log().size() : 0;
            if (s.act) s.act(window);
            return kNothing;
        }
        if (s.host) s.recomputes = recomputesSince(*s.host, s.mark);
        if (s.look) s.look(window);
        s.looked = true;
        return s.answer;
    }
    void queue(std::vector<CarbonScriptEvent> events) {
        CarbonStandInQueueScript(events.data(), int(events.size()));
    }
};

}  // namespace carbon_session
