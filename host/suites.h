// The host's suites, each held by one global holder that acquires it through
// the basic suite on first use and releases it when the plug-in is unloaded.
#pragma once

#include "PIActions.h"
#include "PIFilter.h"
#include "PISuites.h"
#include "host/globals.h"

// A holder's use throws the basic suite's 32-bit error (kSPBadParameterError
// without a basic suite) as a uint32; the holder then stays empty and asks
// again on its next use.
template <typename Suite>
class AutoSuite {
public:
    // Constant initialisation: the holders exist before any code runs.
    constexpr AutoSuite(const char* name, int32 version) : suite_(nullptr), version_(version), name_(name), error_(0) {}
    ~AutoSuite() { release(); }
    AutoSuite(const AutoSuite&) = delete;
    AutoSuite& operator=(const AutoSuite&) = delete;

    const Suite* operator->() {
        if (suite_) return suite_;
        if (!sSPBasic) throw uint32(kSPBadParameterError);
        // A refusing host may still write the pointer, and one that succeeds
        // may give none: only a success with a table is taken.  The latter is
        // given back at once, so that the host's count stays even.
        const void* offered = nullptr;
        error_ = sSPBasic->AcquireSuite(name_, version_, &offered);
        if (error_ == kSPNoError && !offered) {
            sSPBasic->ReleaseSuite(name_, version_);
            error_ = kSPSuiteNotFoundError;
        }
        if (error_ != kSPNoError) throw uint32(error_);
        suite_ = static_cast<const Suite*>(offered);
        return suite_;
    }

    // Gives back what this holder acquired; never throws.
    void release() {
        if (suite_ && name_ && sSPBasic) {
            sSPBasic->ReleaseSuite(name_, version_);
            suite_ = nullptr;
        }
    }

    const Suite* get() const { return suite_; }
    SPErr error() const { return error_; }

private:
    const Suite* suite_;
    int32 version_;
    const char* name_;
    SPErr error_;
};

// The suites whose tables this layer does not use are held as opaque tables.
struct PSActionControlProcs;
struct SPAccessSuite;
struct PSGetFileListSuite;
struct PSChannelPortsSuite;
struct SPRuntimeSuite;
struct PSAliasSuite;

extern AutoSuite<PSActionDescriptorProcs> sPSActionDescriptor;
extern AutoSuite<PSActionControlProcs> sPSActionControl;
extern AutoSuite<PSActionReferenceProcs> sPSActionReference;
extern AutoSuite<PSActionListProcs> sPSActionList;
extern AutoSuite<PSDescriptorRegistryProcs> sPSRegistry;
extern AutoSuite<PSUIHooksSuite1> sPSUIHooks;
extern AutoSuite<PSHandleSuite2> sPSHandle;
extern AutoSuite<ASZStringSuite1> sASZString;
extern AutoSuite<SPAccessSuite> sSPAccess;
extern AutoSuite<PSGetFileListSuite> sPSFileList;
extern AutoSuite<PSBufferSuite1> sPSBuffer;
extern AutoSuite<PSChannelPortsSuite> sPSChannelProcs;
extern AutoSuite<SPRuntimeSuite> sSPRuntime;
extern AutoSuite<PropertyProcs> sPSProperty;
extern AutoSuite<PSAliasSuite> sPSAlias;
extern AutoSuite<ResourceProcs> sPSResource;

// Releases every holder now; each acquires again on its next use.
void PIUSuitesRelease();
