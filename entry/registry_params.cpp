// The parameters remembered in the host's registry under the product's key,
// through the registry and action-descriptor suites acquired for each call.
//
// A read is all or nothing: when any get fails (a missing key, a wrong type,
// a host error) the parameter block stays exactly as it was.  Values that are
// not finite are never applied.
#include <cmath>

#include "PIFilter.h"
#include "host/globals.h"
#include "host/host_services.h"
#include "entry/params.h"
#include "entry/persistence.h"
#include "engine/product.h"
#include "preview/proxy_persistence.h"

namespace {

// One suite acquired through the basic suite, released when it goes.
template <typename Procs>
class AcquiredSuite {
public:
    AcquiredSuite(SPBasicSuite* basic, const char* name, int32 version)
        : basic_(basic), name_(name), version_(version) {}
    ~AcquiredSuite() {
        if (acquired_ && basic_->ReleaseSuite) basic_->ReleaseSuite(name_, version_);
    }
    AcquiredSuite(const AcquiredSuite&) = delete;
    AcquiredSuite& operator=(const AcquiredSuite&) = delete;

    OSErr acquire() {
        if (!basic_->AcquireSuite) return errPlugInHostInsufficient;
        const void* p = nullptr;
        const SPErr err = basic_->AcquireSuite(name_, version_, &p);
        if (err != kSPNoError) return toOSErr(err);
        acquired_ = true;
        procs_ = static_cast<const Procs*>(p);
        return procs_ ? noErr : errPlugInHostInsufficient;
    }
    Procs* get() const { return const_cast<Procs*>(procs_); }

private:
    SPBasicSuite* basic_;
    const char* name_;
    int32 version_;
    bool acquired_ = false;
    const Procs* procs_ = nullptr;
};

// A descriptor owned by this call, freed when it goes.
class OwnedDescriptor {
public:
    explicit OwnedDescriptor(PSActionDescriptorProcs* procs) : procs_(procs) {}
    ~OwnedDescriptor() {
        if (d && procs_->Free) procs_->Free(d);
    }
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
    PIActionDescriptor d = nullptr;

private:
    PSActionDescriptorProcs* procs_;
};

SPBasicSuite* basicSuite() { return gFilterRecord ? gFilterRecord->sSPBasic : nullptr; }

// The registry and action-descriptor suites, acquired in that order.
struct RegistrySuites {
    AcquiredSuite<PSDescriptorRegistryProcs> registry;
    AcquiredSuite<PSActionDescriptorProcs> actions;
    explicit RegistrySuites(SPBasicSuite* basic)
        : registry(basic, kPSRegistrySuite, kPSRegistrySuiteVersion1),
          actions(basic, kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion) {}
    OSErr acquire() {
        OSErr err = registry.acquire();
        return err == noErr ? actions.acquire() : err;
    }
};

}  // namespace

OSErr ReadRegistryParameters() {
    SPBasicSuite* basic = basicSuite();
    if (!basic) return errPlugInHostInsufficient;

    RegistrySuites suites(basic);
    OSErr err = suites.acquire();
    if (err != noErr) return err;
    PSDescriptorRegistryProcs* reg = suites.registry.get();
    PSActionDescriptorProcs* desc = suites.actions.get();
    if (!reg->Get || !desc->GetFloat || !desc->GetBoolean) return errPlugInHostInsufficient;

    OwnedDescriptor descriptor(desc);
    err = toOSErr(reg->Get(kRegistryKey, &descriptor.d));
    if (err != noErr || !descriptor.d) return err;

    ParamBlock read = *gParams;
    for (int i = 0; i < kParamValueCount; ++i) {
        if (keyGUIParams[i] == 0) continue;
        double x = 0;
        err = toOSErr(desc->GetFloat(descriptor.d, keyGUIParams[i], &x));
        if (err != noErr) return err;
        if (std::isfinite(x)) read.values[i] = x;
    }
    for (int j = 0; j < kParamFlagCount; ++j) {
        if (keyBoolParams[j] == 0) continue;
        Boolean b = 0;
        err = toOSErr(desc->GetBoolean(descriptor.d, keyBoolParams[j], &b));
        if (err != noErr) return err;
        read.flags[j] = b ? 1 : 0;
    }
    *gParams = read;
    return proxyReadRegistry(desc, descriptor.d);
}

OSErr WriteRegistryParameters() {
    SPBasicSuite* basic = basicSuite();
    if (!basic) return errPlugInHostInsufficient;

    RegistrySuites suites(basic);
    OSErr err = suites.acquire();
    if (err != noErr) return err;
    PSDescriptorRegistryProcs* reg = suites.registry.get();
    PSActionDescriptorProcs* desc = suites.actions.get();
    if (!reg->Register || !desc->Make || !desc->PutFloat || !desc->PutBoolean) return errPlugInHostInsufficient;

    OwnedDescriptor descriptor(desc);
    err = toOSErr(desc->Make(&descriptor.d));
    if (err != noErr) return err;
    if (!descriptor.d) return errPlugInHostInsufficient;

    for (int i = 0; i < kParamValueCount; ++i) {
        if (keyGUIParams[i] == 0) continue;
        err = toOSErr(desc->PutFloat(descriptor.d, keyGUIParams[i], gParams->values[i]));
        if (err != noErr) return err;
    }
    for (int j = 0; j < kParamFlagCount; ++j) {
        if (keyBoolParams[j] == 0) continue;
        err = toOSErr(desc->PutBoolean(descriptor.d, keyBoolParams[j], gParams->flags[j]));
        if (err != noErr) return err;
    }
    err = proxyWriteRegistry(desc, descriptor.d);
    if (err != noErr) return err;
    // The registry keeps a copy; ours is freed on the way out.
    return toOSErr(reg->Register(kRegistryKey, descriptor.d, true));
}
