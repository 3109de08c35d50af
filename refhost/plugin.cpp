// Loading a filter module and running the host's selector sequence.
#include <stdexcept>

#include "refhost/platform.h"
#include "refhost/refhost.h"

namespace refhost {

namespace {
// Alerts are answered for the length of one plug-in call, exception or not.
struct AlertCapture {
    void* token;
    explicit AlertCapture(Host& host) : token(platform::beginAlertCapture(host)) {}
    ~AlertCapture() { platform::endAlertCapture(token); }
    AlertCapture(const AlertCapture&) = delete;
    AlertCapture& operator=(const AlertCapture&) = delete;
};
}  // namespace

Plugin::Plugin(const std::string& path, bool freshCopy) : path_(path) {
    std::string error;
    std::string loadPath = path;
    if (freshCopy) {
        tempPath_ = platform::copyToTempDirectory(path, error);
        if (tempPath_.empty()) throw std::runtime_error("cannot load plug-in " + path + ": " + error);
        loadPath = tempPath_;
    }
    module_ = platform::openModule(loadPath, error);
    if (!module_) {
        platform::removeTempCopy(tempPath_);
        throw std::runtime_error("cannot load plug-in " + path + ": " + error);
    }
    entry_ = reinterpret_cast<PluginMainProc>(platform::findSymbol(module_, "PluginMain"));
    if (!entry_) {
        platform::closeModule(module_);
        platform::removeTempCopy(tempPath_);
        throw std::runtime_error("plug-in " + path + " has no entry point PluginMain");
    }
}

Plugin::Plugin(PluginMainProc entry) : path_("(in process)"), entry_(entry) {
    if (!entry_) throw std::invalid_argument("refhost::Plugin: null entry point");
}

Plugin::~Plugin() {
    platform::closeModule(module_);
    platform::removeTempCopy(tempPath_);
}

int16 Plugin::call(int16 selector) {
    Host* host = Host::current();
    if (!host) throw std::logic_error("refhost::Plugin::call: no current Host");
    return call(*host, selector);
}

int16 Plugin::call(Host& host, int16 selector) {
    host.beginSelector(selector);
    void* record = &host.record();
    if (selector == filterSelectorAbout) {
        about_ = AboutRecord{};
        about_.platformData = host.record().platformData;
        about_.sSPBasic = host.record().sSPBasic;
        about_.plugInRef = host.record().plugInRef;
        record = &about_;
    }
    AlertCapture capture(host);
    try {
        entry_(selector, record, &host.data(), &host.result());
    } catch (const std::exception& e) {
        host.recordFault("PluginMain (selector " + std::to_string(selector) + ") let an exception escape: " +
                         e.what());
        throw;
    } catch (...) {
        host.recordFault("PluginMain (selector " + std::to_string(selector) + ") let an exception escape");
        throw;
    }
    host.endSelector(selector);
    return host.result();
}

RunResult runFilter(Plugin& plugin, Host& host, const RunOptions& options) {
    RunResult run;
    auto send = [&](int16 selector) {
        int16 r = plugin.call(host, selector);
        run.calls.push_back(SelectorCall{selector, r});
        if (r != noErr && run.result == noErr) run.result = r;
        return r;
    };
    if (options.parameters && send(filterSelectorParameters) != noErr) return run;
    if (send(filterSelectorPrepare) != noErr) return run;
    send(filterSelectorStart);
    bool more = host.afterSelector();
    while (more) {
        if (run.continues >= options.maxContinues) {
            host.recordFault("the plug-in still asked for data after " + std::to_string(run.continues) +
                             " continue selectors");
            host.failPass();
            run.result = filterBadParameters;
            return run;
        }
        ++run.continues;
        send(filterSelectorContinue);
        more = host.afterSelector();
    }
    if (run.result == noErr && host.result() != noErr) run.result = host.result();  // a refused request
    if (run.result != noErr) return run;
    send(filterSelectorFinish);
    return run;
}

}  // namespace refhost
