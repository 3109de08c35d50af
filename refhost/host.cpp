// The reference host: the Host and its filter record, which points at the
// procedures of the host's parts (handle_store.cpp, buffer_store.cpp,
// descriptors.cpp, basic_suite.cpp, services.cpp, advance_state.cpp,
// display.cpp), and what it tells of faults and leaks.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "refhost/host_impl.h"
#include "refhost/platform.h"

#if !defined(_WIN32)
#include "Carbon.h"
#endif

namespace refhost {

namespace {

Host* gCurrent = nullptr;

#if !defined(_WIN32)
void alertSink(const char* text, void*) {
    if (gCurrent) gCurrent->recordAlert(text ? text : "");
}
#endif

// A procedure beyond those this host knows, in a table a test made longer.
void MACPASCAL extraProcedure() try {
    HOST_ENTRY();
    h.recordFault("a procedure beyond the host's own table was called");
} catch (...) {
}

}  // namespace

HostOptions toolHostOptions() {
    HostOptions o;
    o.checking = false;
    o.rowSlackBytes = 0;
    o.inTileWidth = o.inTileHeight = 1024;
    // A 32-bit process has 2 GB to address, its own code and the document
    // included.
    const uint64_t most = sizeof(void*) == 4 ? uint64_t(1) << 30 : uint64_t(0x7FFFFFFF);
    if (const uint64_t physical = platform::physicalMemoryBytes())
        o.maxSpace = int32(std::min<uint64_t>(physical / 10 * 7, most));
    return o;
}

Host::Host(Document doc, HostOptions options)
    : doc_(std::move(doc)), options_(std::move(options)), impl_(std::make_unique<Impl>()) {
    if (doc_.width() <= 0 || doc_.height() <= 0) throw std::invalid_argument("refhost::Host: empty document");
    filterRect_ = isEmpty(options_.filterRect) ? doc_.bounds() : options_.filterRect;
    if (isInverted(filterRect_) || !inside(filterRect_, doc_.height(), doc_.width()))
        throw std::invalid_argument("refhost::Host: filter rectangle " + rectText(filterRect_) +
                                    " outside the image " + rectText(doc_.bounds()));
    mask_.assign(size_t(int64_t(doc_.width()) * doc_.height()), 255);
    handles_.host_ = this;
    buffers_.host_ = this;
    buffers_.poisonFreshBuffers = options_.checking;
    buffers_.recycleFreedBuffers = !options_.checking;
    buildRecord();
    install();
#if !defined(_WIN32)
    CarbonStandInSetAlertSink(alertSink, nullptr);
    // The products' bundles, whose nibs the Mac dialogs open.
    CarbonStandInAddBundle("halvane-mac", VEXLOR_NIB_ROOT "/halvane-mac");
    CarbonStandInAddBundle("Glimra", VEXLOR_NIB_ROOT "/Glimra");
#endif
}

Host::~Host() {
    if (gCurrent == this) gCurrent = nullptr;
}

Host* Host::current() { return gCurrent; }
void Host::install() { gCurrent = this; }

void Host::buildRecord() {
    Impl& m = *impl_;
    m.handleProcs = recordHandleProcs();
    m.bufferProcs = recordBufferProcs();
    m.resourceProcs = recordResourceProcs();
    m.propertyProcs = propertySuite();
    m.imageServicesProcs = ImageServicesProcs{kCurrentImageServicesProcsVersion, kCurrentImageServicesProcsCount,
                                              unsupported<PIResampleProc>, unsupported<PIResampleProc>};
    m.readProcs = recordReadDescriptorProcs();
    m.writeProcs = recordWriteDescriptorProcs();
    m.descriptorParameters = PIDescriptorParameters{0, int16(plugInDialogDisplay), int16(plugInDialogOptional),
                                                    nullptr, &m.writeProcs, &m.readProcs};

    const VPoint size{doc_.height(), doc_.width()};
    m.big = BigDocumentStruct{};
    m.big.imageSize32 = size;
    m.big.filterRect32 = filterRect_;
    m.big.wholeSize32 = size;

    FilterRecord& r = record_;
    r = FilterRecord{};
    // Every field a host of the later interface fills; what it leaves zero
    // (the monitor, the absolute tiles' origins, the 3D scenes, ...) stays so.
    r.serial = options_.serial;
    r.abortProc = testAbort;
    r.progressProc = progress;
    r.imageSize = Point{int16(size.v), int16(size.h)};
    r.planes = options_.planesField >= 0 ? options_.planesField : doc_.planes();
    r.filterRect = narrow(filterRect_);
    const uint8* bg = options_.background;
    const uint8* fg = options_.foreground;
    r.background = RGBColor{uint16(bg[0] * 257), uint16(bg[1] * 257), uint16(bg[2] * 257)};
    r.foreground = RGBColor{uint16(fg[0] * 257), uint16(fg[1] * 257), uint16(fg[2] * 257)};
    // The colours in the image's mode: a grey image gets the grey of the
    // colour (Rec. 601 weights); the others keep red, green and blue.
    auto inMode = [this](const uint8* rgb, FilterColor& out) {
        if (doc_.planes() == 1)
            out[0] = uint8(std::lround(0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2]));
        else
            std::memcpy(out, rgb, 3);
    };
    inMode(bg, r.backColor);
    inMode(fg, r.foreColor);
    r.maxSpace = options_.maxSpace;
    r.bufferSpace = options_.bufferSpace;
    r.inHiPlane = r.outHiPlane = -1;
    r.haveMask = options_.haveMask;
    r.hostSig = options_.hostSig;
    r.imageMode = options_.imageModeField >= 0 ? options_.imageModeField : doc_.imageMode();
    r.imageHRes = r.imageVRes = options_.resolution;
    r.wholeSize = r.imageSize;
    r.platformData = &m.platform;
    r.bufferProcs = &m.bufferProcs;
    r.resourceProcs = &m.resourceProcs;
    r.processEvent = processEvent;
    r.displayPixels = displayPixels;
    r.handleProcs = &m.handleProcs;

    r.wantLayout = piLayoutTraditional;
    r.filterCase = options_.haveMask ? filterCaseFlatImageWithSelection : filterCaseFlatImageNoSelection;
    r.dummyPlaneValue = -1;
    r.advanceState = advanceState;
    // A flat document numbers its planes the same in both forms.
    r.supportsAbsolute = true;
    r.getPropertyObsolete = propertyGet;
    r.supportsPadding = true;
    r.inputPadding = options_.inputPadding;
    r.outputPadding = plugInWantsErrorOnBoundsException;
    r.maskPadding = plugInWantsErrorOnBoundsException;
    r.samplingSupport = hostSupportsIntegralSampling;
    r.inputRate = r.maskRate = 1 << 16;
    r.colorServices = colorServices;
    r.inNonLayerPlanes = r.outNonLayerPlanes = r.absNonLayerPlanes = doc_.planes();

    r.imageServicesProcs = &m.imageServicesProcs;
    r.propertyProcs = &m.propertyProcs;
    r.inTileWidth = r.outTileWidth = r.maskTileWidth = r.absTileWidth = options_.inTileWidth;
    r.inTileHeight = r.outTileHeight = r.maskTileHeight = r.absTileHeight = options_.inTileHeight;

    r.descriptorParameters = options_.descriptorParameters ? &m.descriptorParameters : nullptr;
    r.errorString = &m.errorString;
    r.sSPBasic = options_.basicSuite ? basicSuite() : nullptr;
    r.depth = options_.depthField >= 0 ? options_.depthField : doc_.depth();
    r.canUseICCProfiles = true;
    r.bigDocumentData = options_.bigDocument ? &m.big : nullptr;
    r.maxSpace64 = r.maxSpace;
    r.bufferSpace64 = r.bufferSpace;
}

std::unique_lock<std::recursive_mutex> Host::lockState() {
    return std::unique_lock<std::recursive_mutex>(impl_->mutex);
}

void Host::recordAlert(const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    alerts_.push_back(text);
}

void Host::recordFault(const std::string& text) {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    faults_.push_back(text);
}

void Host::shapeTable(ProcTable table, int16 version, int16 count, const std::vector<int>& nullEntries) {
    Impl& m = *impl_;
    const void* original = nullptr;
    int originalCount = 0;
    switch (table) {
        case ProcTable::buffer: original = &m.bufferProcs, originalCount = kCurrentBufferProcsCount; break;
        case ProcTable::resource: original = &m.resourceProcs, originalCount = kCurrentResourceProcsCount; break;
        case ProcTable::handle: original = &m.handleProcs, originalCount = kCurrentHandleProcsCount; break;
        case ProcTable::property: original = &m.propertyProcs, originalCount = kCurrentPropertyProcsCount; break;
        case ProcTable::channelPort: break;
        case ProcTable::readDescriptor:
            original = &m.readProcs, originalCount = kCurrentReadDescriptorProcsCount;
            break;
        case ProcTable::writeDescriptor:
            original = &m.writeProcs, originalCount = kCurrentWriteDescriptorProcsCount;
            break;
    }
    // Slot 0 holds the header (version and count, padded to a pointer), as
    // in every table; the procedures follow.
    const int n = std::max<int>(count, 0);
    auto shaped = std::make_unique<void*[]>(size_t(n) + 1);
    const int16 header[2] = {version, count};
    std::memcpy(shaped.get(), header, sizeof header);
    for (int i = 0; i < n; ++i) {
        void (*proc)() = extraProcedure;
        if (i < originalCount)
            std::memcpy(&proc, static_cast<const char*>(original) + sizeof(void*) * size_t(i + 1), sizeof proc);
        if (std::find(nullEntries.begin(), nullEntries.end(), i) != nullEntries.end()) proc = nullptr;
        std::memcpy(&shaped[size_t(i) + 1], &proc, sizeof proc);
    }
    void* t = shaped.get();
    switch (table) {
        case ProcTable::buffer: record_.bufferProcs = static_cast<BufferProcs*>(t); break;
        case ProcTable::resource: record_.resourceProcs = static_cast<ResourceProcs*>(t); break;
        case ProcTable::handle: record_.handleProcs = static_cast<HandleProcs*>(t); break;
        case ProcTable::property: record_.propertyProcs = static_cast<PropertyProcs*>(t); break;
        case ProcTable::channelPort: record_.channelPortProcs = static_cast<ChannelPortProcs*>(t); break;
        case ProcTable::readDescriptor:
            m.descriptorParameters.readDescriptorProcs = static_cast<ReadDescriptorProcs*>(t);
            break;
        case ProcTable::writeDescriptor:
            m.descriptorParameters.writeDescriptorProcs = static_cast<WriteDescriptorProcs*>(t);
            break;
    }
    m.shapedTables.push_back(std::move(shaped));
}

std::vector<uint8_t> Host::parameterBytes() const { return handles_.contents(record_.parameters); }

std::string Host::leakReport() const {
    std::string out;
    auto line = [&out](const std::string& s) { out += s + "\n"; };
    for (const std::string& f : faults_) line("fault: " + f);
    if (buffers_.live() > 0)
        line(std::to_string(buffers_.live()) + " buffer(s) not freed (" + std::to_string(buffers_.liveBytes()) +
             " bytes)");
    std::set<Handle> kept{record_.parameters, reinterpret_cast<Handle>(data_), impl_->descriptorParameters.descriptor};
    kept.insert(impl_->resourceHandles.begin(), impl_->resourceHandles.end());
    int64_t leaked = 0;
    for (Handle h : handles_.liveHandles()) leaked += !kept.count(h);
    if (leaked > 0) line(std::to_string(leaked) + " handle(s) not disposed");
    if (!impl_->readTokens.empty()) line(std::to_string(impl_->readTokens.size()) + " read descriptor(s) not closed");
    if (!impl_->writeTokens.empty())
        line(std::to_string(impl_->writeTokens.size()) + " write descriptor(s) not closed");
    if (!impl_->actionDescriptors.empty())
        line(std::to_string(impl_->actionDescriptors.size()) + " action descriptor(s) not freed");
    if (!blocks_.empty()) line(std::to_string(blocks_.size()) + " basic-suite block(s) not freed");
    return out;
}

}  // namespace refhost
