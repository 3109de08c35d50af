// Reference host: an in-memory image editor that drives a filter plug-in
// through the host interface of platform/pluginapi, with every service
// instrumented so that tests can refuse memory, count leaks and see faults.
//
// Host callbacks are plain C functions, so one Host is "current" at a time:
// the constructor makes the new Host current; install() makes an older one
// current again.  A Host is not thread-safe beyond what the plug-in itself
// may do from worker threads (nothing but reading its record).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "PIFilter.h"

namespace refhost {

class Host;

// ---------------------------------------------------------------------------
// Image modes and samples.

// Planes of an image mode: 1 for the grey modes, 3 for RGB and Lab, 4 for
// CMYK; 0 for modes the host cannot hold.
int16 planesForMode(int16 imageMode);
// Bits per sample of an image mode: 8, 16 or 32; 0 for unsupported modes.
int32 depthForMode(int16 imageMode);
// The mode of the given family at the given depth, e.g.
// modeFor(plugInModeRGBColor, 16) == plugInModeRGB48; -1 when there is none.
int16 modeFor(int16 baseMode, int32 depth);
// "Gray", "RGB", "Lab", "CMYK", "Gray16", ... ("mode N" for others).
std::string modeName(int16 imageMode);

// ---------------------------------------------------------------------------
// Document: an interleaved in-memory image.  Samples are uint8 (0..255),
// uint16 (0..32768) or float (nominally 0..1), by depth.

class Document {
public:
    Document() = default;
    // Planes and depth from the mode; throws std::invalid_argument for a mode
    // the host cannot hold or a non-positive size.
    Document(int16 imageMode, int32 width, int32 height);

    int16 imageMode() const { return mode_; }
    int32 width() const { return width_; }
    int32 height() const { return height_; }
    int16 planes() const { return planes_; }
    int32 depth() const { return depth_; }
    int32 sampleBytes() const { return depth_ / 8; }
    int64_t pixelBytes() const { return int64_t(planes_) * sampleBytes(); }
    int64_t rowBytes() const { return pixelBytes() * width_; }
    VRect bounds() const { return VRect{0, 0, height_, width_}; }

    uint8_t* data() { return bytes_.data(); }
    const uint8_t* data() const { return bytes_.data(); }
    uint8_t* pixel(int32 x, int32 y) { return bytes_.data() + y * rowBytes() + x * pixelBytes(); }
    const uint8_t* pixel(int32 x, int32 y) const { return bytes_.data() + y * rowBytes() + x * pixelBytes(); }

    // One sample as a double on its native scale (no conversion).
    double get(int32 x, int32 y, int16 plane) const;
    // Stores v on the native scale: rounded and clamped for 8 and 16 bits
    // (0..255, 0..32768), stored as is for float.
    void set(int32 x, int32 y, int16 plane, double v);
    template <typename F>  // F(x, y, plane) -> double on the native scale
    void fill(F f) {
        for (int32 y = 0; y < height_; ++y)
            for (int32 x = 0; x < width_; ++x)
                for (int16 p = 0; p < planes_; ++p) set(x, y, p, f(x, y, p));
    }
    // A deterministic test pattern: gradients plus fixed-seed noise.
    void fillPattern(uint32_t seed = 1);

    bool operator==(const Document& o) const;
    bool operator!=(const Document& o) const { return !(*this == o); }

private:
    int16 mode_ = plugInModeRGBColor;
    int32 width_ = 0, height_ = 0;
    int16 planes_ = 0;
    int32 depth_ = 8;
    std::vector<uint8_t> bytes_;
};

// ---------------------------------------------------------------------------
// Descriptors: an ordered store of (key, type, value) entries, shared by the
// scripting descriptor handles, the action-descriptor suite and the registry.

struct DescriptorEntry {
    DescriptorKeyID key = 0;
    DescriptorTypeID type = typeFloat;
    double f = 0;   // typeFloat
    int32 i = 0;    // typeInteger
    bool b = false; // typeBoolean

    static DescriptorEntry Float(DescriptorKeyID k, double v);
    static DescriptorEntry Integer(DescriptorKeyID k, int32 v);
    static DescriptorEntry Boolean(DescriptorKeyID k, bool v);
    bool operator==(const DescriptorEntry& o) const;
    bool operator!=(const DescriptorEntry& o) const { return !(*this == o); }
};
using Descriptor = std::vector<DescriptorEntry>;

const DescriptorEntry* findEntry(const Descriptor& d, DescriptorKeyID key);
// 'Abcd' -> "Abcd"; unprintable bytes as \xNN.
std::string keyName(DescriptorKeyID key);
// "Abcd" -> 'Abcd'; throws std::invalid_argument unless exactly 4 characters.
DescriptorKeyID keyFromName(const std::string& name);
std::string toString(const DescriptorEntry& e);  // "Abcd doub 1.5"

// ---------------------------------------------------------------------------
// Configuration, fixed when the Host is built (the record can be changed
// afterwards through record() for special cases).

struct HostOptions {
    // Filter rectangle; an empty rectangle means the whole image.
    VRect filterRect{0, 0, 0, 0};
    // Record fields; -1 takes the value from the document.  depth 0 tests
    // the "0 means 8" rule (samples still follow the document).
    int32 depthField = -1;
    int16 planesField = -1;
    int16 imageModeField = -1;
    int32 maxSpace = 256 * 1024 * 1024;
    int32 bufferSpace = 0;
    // The host's tile size (the record's fields are 16-bit); 0 tests a host
    // that gives none.
    int16 inTileWidth = 256, inTileHeight = 256;
    bool haveMask = false;          // the host offers a selection mask (mask(), one 8-bit plane)
    bool bigDocument = true;        // offer the big-document record
    bool basicSuite = true;         // false: sSPBasic is null
    std::set<std::string> refusedSuites;  // AcquireSuite of these fails
    bool descriptorParameters = true;     // false: descriptorParameters is null
    // Row bytes of the served inData/outData exceed the need by this much
    // (rounded up to a whole sample) so that code that ignores rowBytes shows.
    int32 rowSlackBytes = 24;
    // advanceState's error for a request outside the image or with bad planes.
    OSErr badRequestError = filterBadParameters;
    // The record's inputPadding before the plug-in sets it: an input
    // rectangle outside the image is an error unless the plug-in asks for
    // padding (0..255 value, plugInWantsEdgeReplication, or
    // plugInDoesNotWantPadding, which leaves 0xFF bytes there).
    int16 inputPadding = plugInWantsErrorOnBoundsException;
    // Registry Get of a missing key: an error (default) or success with a
    // null descriptor.
    bool registryMissingGivesNull = false;
    uint32 hostSig = kPhotoshopSignature;
    int32 serial = 0;
    // 8-bit RGB; the record's RGBColor fields hold each channel x 257.
    uint8 foreground[3] = {0, 0, 0};
    uint8 background[3] = {255, 255, 255};
    Fixed resolution = 72 << 16;
    // The checking host, for tests: every fresh buffer filled with 0xFF
    // bytes, freed memory given back for good (AddressSanitizer sees a use
    // after free), every served rectangle copied into fresh memory.  Off, the
    // host behaves as a host's memory manager does: buffers neither filled
    // nor poisoned, freed memory kept and reused for requests of any size,
    // rectangles of the document handed out as the document's own rows where
    // the request allows (all planes, inside the image, and for output inside
    // the filter rectangle), every other copy made in row bands on all
    // processors.  Output written into the document's rows is undone only by
    // failPass, not by discardPending.
    bool checking = true;
};

// A host used as a tool (pihost, the main job, the benchmarks): not
// checking, no row slack, 1024 x 1024 tiles (an image editor's common tile
// cache setting), and maxSpace from a memory preference of 70 % of physical
// memory (at most what 32 bits hold, and 1 GB in a 32-bit process).
HostOptions toolHostOptions();

// ---------------------------------------------------------------------------
// Memory services.

// Refusal plan shared by the handle and buffer stores.  Allocations are
// numbered from 1 after the last resetCount() (or construction).
struct RefusalPlan {
    int64_t refuseNth = 0;       // refuse allocation number N (0: none)
    bool andAllLater = false;    // ... and every one after it
    int64_t refuseAbove = -1;    // refuse any request larger than this (bytes; -1: none)
};

class HandleStore {
public:
    HandleStore();
    ~HandleStore();
    HandleStore(const HandleStore&) = delete;
    HandleStore& operator=(const HandleStore&) = delete;
    RefusalPlan plan;
    void resetCount() { count_ = 0; }
    int64_t allocations() const { return count_; }
    // Refuse the n-th lock from now (1 = the next one), once.
    void refuseLockNth(int64_t n) { refuseLock_ = lockCount_ + n; }

    Handle create(int32 size);              // counted, may be refused (null)
    void dispose(Handle h);                 // fault on a bad or dead handle
    int32 size(Handle h);                   // -1 (and a fault) for a bad handle
    OSErr setSize(Handle h, int32 size);
    char* lock(Handle h);
    void unlock(Handle h);
    bool valid(Handle h) const;
    // The bytes of a live handle (no lock needed); empty for a bad one.
    std::vector<uint8_t> contents(Handle h) const;
    Handle createWith(const std::vector<uint8_t>& bytes);  // never refused

    int64_t live() const;
    int64_t locked() const;                 // live handles locked now (a flag: locks do not nest)
    std::vector<Handle> liveHandles() const;

private:
    friend class Host;
    struct Block;
    Block* find(Handle h, const char* op);
    const Block* findQuiet(Handle h) const;
    std::vector<std::unique_ptr<Block>> blocks_;  // never erased: dead ones stay as tombstones
    std::map<Handle, Block*> index_;
    int64_t count_ = 0, lockCount_ = 0, refuseLock_ = 0;
    Host* host_ = nullptr;
};

class BufferStore {
public:
    BufferStore();
    ~BufferStore();
    BufferStore(const BufferStore&) = delete;
    BufferStore& operator=(const BufferStore&) = delete;
    RefusalPlan plan;
    void resetCount() { count_ = 0; }
    int64_t allocations() const { return count_; }
    // Refuse the n-th lock from now (1 = the next one), once.
    void refuseLockNth(int64_t n) { refuseLock_ = lockCount_ + n; }
    int32 spaceAvailable = 64 * 1024 * 1024;  // what spaceProc reports
    // Fresh buffers are filled with 0xFF bytes, so that a read before the
    // first write shows (NaN floats, out-of-range 16-bit samples).
    bool poisonFreshBuffers = true;
    // Keep freed memory and hand it out again for a later request of any
    // size that fits it, as a host's memory manager does (no page faults of
    // fresh memory in a pass).  Off for tests, where memory freed for good
    // lets AddressSanitizer see a use after free.
    bool recycleFreedBuffers = false;

    OSErr allocate(int32 size, BufferID* id);  // memFullErr when refused; fresh bytes 0xFF (NaN floats)
    char* lock(BufferID id);
    void unlock(BufferID id);
    void free(BufferID id);

    int64_t live() const;
    int64_t locked() const;
    // True when the bytes at base + first .. base + last (offsets, inclusive)
    // all lie in the live, locked buffer that holds base, within its
    // requested size.
    bool holdsRange(const void* base, int64_t first, int64_t last) const;
    int64_t liveBytes() const { return liveBytes_; }
    int64_t peakBytes() const { return peakBytes_; }
    int64_t refused() const { return refused_; }
    // Memory taken from the system so far, and how much of it is kept for
    // reuse now.
    int64_t systemBytes() const { return systemBytes_; }
    int64_t keptBytes() const;

    // Every allocation (granted or refused) and free, in order.
    struct Event {
        bool allocation;
        BufferID id;  // null for a refused allocation
        int32 size;
    };
    const std::vector<Event>& log() const { return log_; }

private:
    friend class Host;
    struct Block;
    struct Memory;
    Block* find(BufferID id, const char* op);
    std::unique_ptr<Memory> obtain(size_t bytes);
    std::vector<std::unique_ptr<Block>> blocks_;
    std::map<BufferID, Block*> index_;
    std::multimap<size_t, std::unique_ptr<Memory>> spare_;  // freed memory kept for reuse, by capacity
    std::vector<Event> log_;
    int64_t count_ = 0, liveBytes_ = 0, peakBytes_ = 0, refused_ = 0, systemBytes_ = 0;
    int64_t lockCount_ = 0, refuseLock_ = 0;
    Host* host_ = nullptr;
};

// ---------------------------------------------------------------------------
// What the host saw.

struct AdvanceCall {
    VRect inRect, outRect, maskRect;  // as requested, in the form the plug-in used
    bool used32Bit;
    int16 inLoPlane, inHiPlane, outLoPlane, outHiPlane;
    int16 inputPadding;
    int32 inputRate;  // whole-number rate (16.16 value >> 16, at least 1)
    OSErr result;
};

struct DisplayCall {
    VRect bounds, srcRect;
    int32 dstRow, dstCol;
    int32 imageMode, rowBytes, colBytes, planeBytes;
    void* platformContext;
    int16 planes;                  // planes copied (by the display mode)
    std::vector<uint8_t> pixels;   // srcRect, interleaved, 8 bits
};

// The pixels of a recorded display call as a document that a test writes
// out (writeImage) for a person to look at: grey or RGB as displayed, Lab
// converted to sRGB as a host's screen would show it.  Throws
// std::invalid_argument for other modes.
Document displayCallImage(const DisplayCall& call);

// A get of the wrong type from a read descriptor: the key, the type the
// descriptor holds and the type the plug-in asked for.
struct DescriptorReadError {
    DescriptorKeyID key;
    DescriptorTypeID held, wanted;
};

struct SelectorCall {
    int16 selector;
    int16 result;
};

// A call of the property procedures.  complex: the call asked for or set a
// handle (bytes is its content on a set or a successful get).
struct PropertyCall {
    bool set;
    uint32 signature, key;
    int32 index;
    bool complex;
    intptr_t simple;
    std::vector<uint8_t> bytes;
    OSErr result;
};

// How the basic suite answers an acquisition of one suite.
enum class SuiteAnswer {
    offer,                 // the suite, when this host has it
    refuse,                // kSPSuiteNotFoundError, the pointer cleared
    refuseLeavingPointer,  // kSPSuiteNotFoundError, the pointer left at a table
    succeedWithNull,       // success (and counted) with a null pointer
};

// The record's procedure tables that a test can reshape.
enum class ProcTable { buffer, resource, handle, property, channelPort, readDescriptor, writeDescriptor };

// ---------------------------------------------------------------------------
// Host.

class Host {
public:
    explicit Host(Document doc, HostOptions options = HostOptions());
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    static Host* current();
    void install();  // make this Host current

    FilterRecord& record() { return record_; }
    int16& result() { return result_; }
    intptr_t& data() { return data_; }   // the plug-in's data slot
    Document& document() { return doc_; }
    const Document& document() const { return doc_; }
    const HostOptions& options() const { return options_; }
    HandleStore& handles() { return handles_; }
    BufferStore& buffers() { return buffers_; }
    VRect filterRect() const { return filterRect_; }
    // The selection mask (width x height, 8 bits); all 255 at the start.
    std::vector<uint8_t>& mask() { return mask_; }

    // Selectors: the host's side of a call.  Makes this Host current, clears
    // result() and sets up the record for the selector: prepare offers
    // maxSpace and bufferSpace from the options again; start clears the
    // rectangles and remembers the document so that a failed pass can be
    // undone.  The caller then calls PluginMain.
    void beginSelector(int16 selector);
    // After the plug-in's start or continue returned: commits the pending
    // output, then serves the requested rectangles.  True when the plug-in
    // asked for more data (the host should call continue); false when all
    // rectangles are empty, or when the selector failed or the request was
    // refused (see result(); the pass is undone then, see failPass()).
    bool afterSelector();
    // Commits the output buffer still pending, as at the end of a pass.
    // Output is committed only inside the filter rectangle, as a host with a
    // selection would.  The pass can still fail in its finish selector.
    void finishPass();
    // After the plug-in returned from a selector (Plugin::call does this): a
    // failed finish undoes the pass (see failPass()); a finish that succeeds
    // ends it for good.
    void endSelector(int16 selector);
    // Drops the pending output.
    void discardPending();
    // A pass that ended in an error: drops the pending output and, after a
    // start selector sent through beginSelector, puts the document back as
    // the pass found it (a host discards a failed filter's result).
    void failPass();
    // The rectangle that a pending output buffer will be committed into.
    bool hasPendingOutput() const;

    // Abort and progress.
    int32 cancelAtAbortCall = 0;  // abortProc returns true from call k on (0: never)
    // Called by abortProc before it answers: a test throws from it to see
    // what the plug-in does with an exception raised inside its call.
    std::function<void()> duringAbortCall;
    int64_t abortCalls() const { return abortCalls_; }
    const std::vector<std::pair<int32, int32>>& progressCalls() const { return progress_; }

    const std::vector<AdvanceCall>& advanceCalls() const { return advances_; }
    // The plug-in's advanceState calls, numbered from 1 in the Host's life:
    // refuseNth (andAllLater) fails with advanceStateRefusal, as a host that
    // runs out of memory or disk while serving would.  refuseAbove is not used.
    RefusalPlan advanceStatePlan;
    OSErr advanceStateRefusal = memFullErr;
    const std::vector<DisplayCall>& displayCalls() const { return displays_; }
    int64_t colorServicesCalls() const { return colorServicesCalls_; }
    OSErr colorServicesResult = noErr;  // what colorServices returns

    // Alerts shown by the plug-in (Carbon stand-in sink, or recordAlert()).
    const std::vector<std::string>& alerts() const { return alerts_; }
    void recordAlert(const std::string& text);
    void clearAlerts() { alerts_.clear(); }

    // Faults: misuse of a host service (double free, bad handle, ...).
    const std::vector<std::string>& faults() const { return faults_; }
    void recordFault(const std::string& text);
    void clearFaults() { faults_.clear(); }
    // Errors advanceState returned (also in advanceCalls()).
    const std::vector<std::string>& requestErrors() const { return requestErrors_; }

    // Scripting descriptor of the record's descriptor parameters.
    void setScriptDescriptor(const Descriptor& d, int16 playInfo = plugInDialogDontDisplay);
    // The entries of the record's current descriptor handle; nullopt without one.
    std::optional<Descriptor> scriptDescriptor() const;
    Handle makeDescriptorHandle(const Descriptor& d);           // a counted host handle
    // openReadDescriptorProc / openWriteDescriptorProc give a null token.
    bool refuseOpenRead = false, refuseOpenWrite = false;
    std::optional<Descriptor> readDescriptorHandle(Handle h) const;
    int64_t openReadTokens() const;
    int64_t openWriteTokens() const;
    // Keys the plug-in listed as expected in its last openReadDescriptorProc.
    const std::vector<DescriptorKeyID>& expectedKeys() const;
    // Every get that asked for another type than the descriptor holds (the
    // plug-in's reading failed there).
    const std::vector<DescriptorReadError>& descriptorReadErrors() const;

    // Registry and action descriptors.
    std::map<std::string, Descriptor>& registry() { return registry_; }
    const std::set<std::string>& persistentKeys() const { return persistent_; }
    int64_t liveActionDescriptors() const;
    // The entries of a live action descriptor (for tests that inspect one).
    std::optional<Descriptor> actionDescriptor(PIActionDescriptor d) const;

    // Basic suite: counts per suite name, and extra suites tests provide.
    // A release with no current host (a suite holder at unload) is counted
    // for the process only; one beyond every acquisition in the process is
    // a fault.
    int64_t acquireCount(const std::string& name) const;
    int64_t releaseCount(const std::string& name) const;
    int64_t unreleasedSuites() const;  // acquisitions minus releases, all names
    // The same counts for the whole process, readable after every host and
    // module is gone (a module releases its suites when it is unloaded).
    static int64_t processAcquireCount(const std::string& name);
    static int64_t processReleaseCount(const std::string& name);
    std::map<std::string, SuiteAnswer> suiteAnswers;
    void provideSuite(const std::string& name, int32 version, const void* procs);
    int64_t liveBlocks() const { return int64_t(blocks_.size()); }  // AllocateBlock

    // Properties, answered for '8BIM': simple values and complex ones (a new
    // handle the caller owns on every get) by key and index.  A null complex
    // value answers success with no handle.  Every call is logged.
    void setProperty(uint32 key, intptr_t value, int32 index = 0);
    void setProperty(uint32 key, std::vector<uint8_t> bytes, int32 index = 0);
    void setNullProperty(uint32 key, int32 index = 0);
    std::optional<intptr_t> simpleProperty(uint32 key, int32 index = 0) const;
    std::optional<std::vector<uint8_t>> complexProperty(uint32 key, int32 index = 0) const;
    const std::vector<PropertyCall>& propertyCalls() const { return propertyCalls_; }
    void clearPropertyCalls() { propertyCalls_.clear(); }
    // Keys whose get and set the host refuses (errPlugInPropertyUndefined),
    // as a host that does not know them; the calls are still logged.
    std::set<uint32> refusedProperties;

    // The record (or its descriptor parameters) points at a copy of the table
    // that holds exactly count procedures after the header (none beyond, so
    // that a read past them shows), with the version given and the listed
    // entries (from 0) null.  Procedures beyond the host's own are non-null
    // and recorded as faults when called.  The channel-port table, which
    // this host does not otherwise give, is made of such procedures.
    void shapeTable(ProcTable table, int16 version, int16 count, const std::vector<int>& nullEntries = {});
    // Resources (minimal): handles added by the plug-in, by type.
    std::map<ResType, std::vector<std::vector<uint8_t>>>& resources() { return resources_; }

    // Holds the host's state still for a thread other than the plug-in's
    // (a dialog script reading what the host saw between two messages).
    std::unique_lock<std::recursive_mutex> lockState();

    // The parameter handle's bytes (empty without one).
    std::vector<uint8_t> parameterBytes() const;

    // Empty when nothing leaked and no fault was recorded; else one line per
    // problem.  Handles the host keeps (parameters, data slot, script
    // descriptor) are not leaks.
    std::string leakReport() const;
    bool clean() const { return leakReport().empty(); }

    // ----- internal: the C procedures reach the Host through these -----
    struct Impl;
    Impl& impl() { return *impl_; }

private:
    friend struct Impl;
    friend class HandleStore;
    friend class BufferStore;

    void buildRecord();
    void commitPending();
    OSErr serveRequest();  // memFullErr when the host runs short of memory
    OSErr pluginAdvanceState();
    void takeSnapshot();
    void dropSnapshot();
    // The steps of serving one request (advance_state.cpp).
    struct Request;
    static Request readRequest(const FilterRecord& r);
    AdvanceCall advanceCall(const Request& q, OSErr result) const;
    OSErr serve();
    std::string requestProblem(const Request& q) const;
    OSErr refuseRequest(AdvanceCall call, const std::string& problem);
    void serveInput(const Request& q, const Document& source);
    void serveOutput(const Request& q);
    void serveMask(const Request& q);

    Document doc_;
    HostOptions options_;
    VRect filterRect_{};
    std::vector<uint8_t> mask_;
    FilterRecord record_{};
    int16 result_ = 0;
    intptr_t data_ = 0;
    HandleStore handles_;
    BufferStore buffers_;

    int64_t abortCalls_ = 0;
    int64_t advanceStateCalls_ = 0;
    std::vector<std::pair<int32, int32>> progress_;
    std::vector<AdvanceCall> advances_;
    std::vector<DisplayCall> displays_;
    int64_t colorServicesCalls_ = 0;
    std::vector<std::string> alerts_, faults_, requestErrors_;
    std::vector<DescriptorKeyID> expectedKeys_;
    std::vector<DescriptorReadError> descriptorReadErrors_;
    std::map<std::string, Descriptor> registry_;
    std::set<std::string> persistent_;
    std::map<std::string, int64_t> acquired_, released_;
    std::map<void*, size_t> blocks_;
    std::map<std::pair<uint32, int32>, intptr_t> simpleProperties_;
    std::map<std::pair<uint32, int32>, std::optional<std::vector<uint8_t>>> complexProperties_;
    std::vector<PropertyCall> propertyCalls_;
    std::map<ResType, std::vector<std::vector<uint8_t>>> resources_;
    std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------------------
// Plug-in module.

class Plugin {
public:
    // Loads the module and finds PluginMain; with freshCopy the file is first
    // copied to a new temporary path so that the module gets fresh globals.
    // Throws std::runtime_error with a clear message on failure.
    explicit Plugin(const std::string& path, bool freshCopy = false);
    // An entry point linked into this process (no module).
    explicit Plugin(PluginMainProc entry);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // Calls PluginMain with the current Host's record (the about record for
    // selector 0), data slot and result; returns the result.
    int16 call(int16 selector);
    int16 call(Host& host, int16 selector);
    const std::string& path() const { return path_; }

private:
    std::string path_, tempPath_;
    void* module_ = nullptr;
    PluginMainProc entry_ = nullptr;
    AboutRecord about_{};
};

struct RunOptions {
    bool parameters = true;   // send selector 1 first
    int maxContinues = 100000;
};

struct RunResult {
    std::vector<SelectorCall> calls;  // in order
    int16 result = 0;                 // the first non-zero result, else 0
    int continues = 0;
};

// parameters (optional), prepare, start, continue while rectangles are
// requested, finish.  Stops at the first non-zero result (finish is not sent
// then); the pending output is committed at the end of the pass.
RunResult runFilter(Plugin& plugin, Host& host, const RunOptions& options = RunOptions());

}  // namespace refhost
