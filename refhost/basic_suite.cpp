// The basic suite, through which a plug-in asks for the host's other suites
// by name and version, and the counts of what it acquired and released.
// Its tables are process-wide: a plug-in keeps them past the host call that
// gave them (suite holders release at unload).
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "refhost/host_impl.h"

namespace refhost {

namespace {

std::mutex processSuitesMutex;
std::map<std::string, int64_t> processAcquired, processReleased;

SPErr SPAPI basicAcquire(const char* name, int32 version, const void** suite) try {
    HOST_ENTRY();
    if (suite) *suite = nullptr;
    if (!name || !suite) return kSPBadParameterError;
    std::string n(name);
    const void* procs = nullptr;
    auto answer = h.suiteAnswers.find(n);
    const SuiteAnswer mode = answer == h.suiteAnswers.end() ? SuiteAnswer::offer : answer->second;
    if (mode == SuiteAnswer::refuseLeavingPointer) {
        *suite = &propertySuite();
        return kSPSuiteNotFoundError;
    }
    if (!h.options().refusedSuites.count(n) && mode != SuiteAnswer::refuse) {
        auto extra = h.impl().extraSuites.find(n);
        if (extra != h.impl().extraSuites.end()) {
            if (extra->second.version == version) procs = extra->second.procs;
        } else if (n == kPSRegistrySuite && version == kPSRegistrySuiteVersion1) {
            procs = &registrySuite();
        } else if (n == kPSActionDescriptorSuite && version >= 1 && version <= kPSActionDescriptorSuiteVersion) {
            procs = &actionDescriptorSuite();
        } else if (n == kPSPropertySuite && version == kPSPropertySuiteVersion1) {
            procs = &propertySuite();
        } else if (n == kPSHandleSuite && version == kPSHandleSuiteVersion1) {
            procs = &handleSuite1();
        } else if (n == kPSHandleSuite && version == kPSHandleSuiteVersion2) {
            procs = &handleSuite2();
        }
    }
    if (!procs) return kSPSuiteNotFoundError;
    *suite = mode == SuiteAnswer::succeedWithNull ? nullptr : procs;
    ++Host::Impl::acquired(h)[n];
    std::lock_guard<std::mutex> lock(processSuitesMutex);
    ++processAcquired[n];
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
// A suite holder may release at unload, after the host that gave the suite
// is gone: the release is then only counted for the process.
SPErr SPAPI basicRelease(const char* name, int32) try {
    if (!name) return paramErr;
    std::string n(name);
    bool tooMany;
    {
        std::lock_guard<std::mutex> lock(processSuitesMutex);
        tooMany = processReleased[n] + 1 > processAcquired[n];
        if (!tooMany) ++processReleased[n];
    }
    Host* h = Host::current();
    if (!h) return tooMany ? SPErr(paramErr) : SPErr(kSPNoError);
    HostLock lock_(h->impl().mutex);
    if (tooMany) {
        h->recordFault("ReleaseSuite: " + n + " released more often than acquired");
        return paramErr;
    }
    ++Host::Impl::released(*h)[n];
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
ASBoolean SPAPI basicIsEqual(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}
SPErr SPAPI basicAllocate(int32 size, void** block) try {
    HOST_ENTRY();
    if (!block || size < 0) return kSPBadParameterError;
    *block = std::malloc(size ? size_t(size) : 1);
    if (!*block) return kSPOutOfMemoryError;
    Host::Impl::blocks(h)[*block] = size;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI basicFree(void* block) try {
    if (!block) return kSPNoError;
    HOST_ENTRY();
    auto& blocks = Host::Impl::blocks(h);
    if (!blocks.erase(block)) {
        h.recordFault("FreeBlock: " + pointerText(block) + " is not a block of this host");
        return kSPBadParameterError;
    }
    std::free(block);
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI basicReallocate(void* block, int32 size, void** result) try {
    HOST_ENTRY();
    if (!result || size < 0) return kSPBadParameterError;
    auto& blocks = Host::Impl::blocks(h);
    if (block && !blocks.count(block)) {
        h.recordFault("ReallocateBlock: " + pointerText(block) + " is not a block of this host");
        return kSPBadParameterError;
    }
    void* n = std::realloc(block, size ? size_t(size) : 1);
    if (!n) return kSPOutOfMemoryError;
    if (block) blocks.erase(block);
    blocks[n] = size;
    *result = n;
    return kSPNoError;
} catch (...) {
    return memFullErr;
}
SPErr SPAPI basicUndefined() { return kSPUnimplementedError; }

}  // namespace

SPBasicSuite* basicSuite() {
    static SPBasicSuite basic{basicAcquire, basicRelease, basicIsEqual, basicAllocate, basicFree, basicReallocate,
                              basicUndefined};
    return &basic;
}

int64_t Host::acquireCount(const std::string& name) const {
    auto it = acquired_.find(name);
    return it == acquired_.end() ? 0 : it->second;
}

int64_t Host::releaseCount(const std::string& name) const {
    auto it = released_.find(name);
    return it == released_.end() ? 0 : it->second;
}

int64_t Host::unreleasedSuites() const {
    int64_t n = 0;
    for (const auto& a : acquired_) n += a.second - releaseCount(a.first);
    return n;
}

void Host::provideSuite(const std::string& name, int32 version, const void* procs) {
    impl_->extraSuites[name] = Impl::Suite{version, procs};
}

int64_t Host::processAcquireCount(const std::string& name) {
    std::lock_guard<std::mutex> lock(processSuitesMutex);
    auto it = processAcquired.find(name);
    return it == processAcquired.end() ? 0 : it->second;
}

int64_t Host::processReleaseCount(const std::string& name) {
    std::lock_guard<std::mutex> lock(processSuitesMutex);
    auto it = processReleased.find(name);
    return it == processReleased.end() ? 0 : it->second;
}

}  // namespace refhost
