// The strength map's host buffer.
#include "engine/strength_map.h"

#include <limits>

#include "host/globals.h"
#include "host/host_services.h"

strength_map::strength_map(int32 w, int32 h) : width(w), height(h) {
    const int64_t bytes = int64_t(w) * h * int64_t(sizeof(float));
    if (w <= 0 || h <= 0 || bytes > std::numeric_limits<int32>::max() || !gFilterRecord) return;
    memoryAllocate(bytes, bufferID, data);
    // Given but not locked: freed, not unlocked.
    if (!data && bufferID && gFilterRecord->bufferProcs) {
        gFilterRecord->bufferProcs->freeProc(bufferID);
        bufferID = nullptr;
    }
}

strength_map::~strength_map() { memoryRelease(int64_t(width) * height * int64_t(sizeof(float)), bufferID, data); }
