// The suite holders of a Windows module, under Wine: the module acquires two
// suites on its parameters selector and keeps them; unloading it releases
// each once and nothing else.  Exit status 0 when so.
//
//     suite_unload MODULE
#include <cstdio>
#include <map>
#include <string>

#include "refhost/refhost.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: suite_unload MODULE\n");
        return 2;
    }
    using refhost::Host;
    const char* held[] = {kPSPropertySuite, kPSHandleSuite};
    const char* others[] = {kPSRegistrySuite, kPSActionDescriptorSuite, kPSResourceSuite, kPSBufferSuite};
    Host host(refhost::Document(plugInModeRGBColor, 8, 8));
    bool ok = true;
    {
        refhost::Plugin module(argv[1]);
        const int16 result = module.call(host, filterSelectorParameters);
        for (const char* n : held)
            if (result != noErr || Host::processAcquireCount(n) != 1 || Host::processReleaseCount(n) != 0) {
                std::printf("%s: before the unload, result %d, acquired %lld, released %lld\n", n, int(result),
                            (long long) Host::processAcquireCount(n), (long long) Host::processReleaseCount(n));
                ok = false;
            }
    }
    for (const char* n : held)
        if (Host::processReleaseCount(n) != 1) {
            std::printf("%s: released %lld time(s) at unload, not once\n", n, (long long) Host::processReleaseCount(n));
            ok = false;
        }
    for (const char* n : others)
        if (Host::processAcquireCount(n) != 0 || Host::processReleaseCount(n) != 0) {
            std::printf("%s: acquired or released, though the module never used it\n", n);
            ok = false;
        }
    if (!host.faults().empty()) {
        for (const std::string& f : host.faults()) std::printf("fault: %s\n", f.c_str());
        ok = false;
    }
    std::printf(ok ? "the suite holders released each acquired suite once at unload, and nothing else\n"
                   : "the suite holders did not release as they should at unload\n");
    return ok ? 0 : 1;
}
