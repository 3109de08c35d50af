// A filter pass: the selectors' side of it, the requests the plug-in makes
// through advance state, checked and served (the document's own rows where
// a host used as a tool can, copies where it must or where the checking
// host wants them), and the output committed into the document or undone
// with a pass that fails.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "refhost/host_impl.h"
#include "refhost/platform.h"

namespace refhost {

void Host::beginSelector(int16 selector) {
    install();
    result_ = 0;
    if (selector == filterSelectorPrepare) {
        // The memory offer is made afresh for every run.
        record_.maxSpace = record_.maxSpace64 = options_.maxSpace;
        record_.bufferSpace = record_.bufferSpace64 = options_.bufferSpace;
    }
    if (selector == filterSelectorStart) {
        // A pass starts with nothing requested and nothing served.
        discardPending();
        dropSnapshot();
        record_.inRect = record_.outRect = record_.maskRect = Rect{0, 0, 0, 0};
        impl_->big.inRect32 = impl_->big.outRect32 = impl_->big.maskRect32 = VRect{0, 0, 0, 0};
        record_.inputRate = record_.maskRate = 1 << 16;
    }
}

// A request as the record holds it after the plug-in's call: its
// rectangles in the form the plug-in used, and the input rate (a whole
// number, at least 1) and padding.
struct Host::Request {
    VRect in, out, mask;
    bool used32;
    int32 rate;
    int16 padding;
};

Host::Request Host::readRequest(const FilterRecord& r) {
    Request q;
    q.used32 = r.bigDocumentData && r.bigDocumentData->PluginUsing32BitCoordinates;
    if (q.used32) {
        q.in = r.bigDocumentData->inRect32;
        q.out = r.bigDocumentData->outRect32;
        q.mask = r.bigDocumentData->maskRect32;
    } else {
        q.in = widen(r.inRect);
        q.out = widen(r.outRect);
        q.mask = widen(r.maskRect);
    }
    q.rate = std::max<int32>(r.inputRate >> 16, 1);
    q.padding = r.inputPadding;
    return q;
}

AdvanceCall Host::advanceCall(const Request& q, OSErr result) const {
    const FilterRecord& r = record_;
    return AdvanceCall{q.in,        q.out,       q.mask,    q.used32, r.inLoPlane, r.inHiPlane,
                       r.outLoPlane, r.outHiPlane, q.padding, q.rate,   result};
}

bool Host::afterSelector() {
    if (result_ != noErr) {
        failPass();
        return false;
    }
    const Request q = readRequest(record_);
    if (isEmpty(q.in) && isEmpty(q.out) && (!record_.haveMask || isEmpty(q.mask))) {
        finishPass();
        return false;
    }
    OSErr err = serveRequest();
    if (err != noErr) {
        result_ = err;
        failPass();
        return false;
    }
    return true;
}

void Host::failPass() {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->pending = false;
    if (impl_->haveSnapshot) doc_ = impl_->snapshot;
    dropSnapshot();
    record_.inData = record_.outData = record_.maskData = nullptr;
}

namespace {
// Copies `count` pixels of planes lo.. lo + n - 1 between a buffer of n
// samples per pixel and a document row of `planes` samples per pixel; one
// block copy when the buffer holds every plane.
void copyPixels(uint8_t* dst, const uint8_t* src, int32 count, int16 n, int16 planes, int32 sampleBytes,
                bool toDocument) {
    const size_t pixel = size_t(n) * sampleBytes, docPixel = size_t(planes) * sampleBytes;
    if (n == planes) {
        std::memcpy(dst, src, pixel * count);
        return;
    }
    for (int32 x = 0; x < count; ++x)
        std::memcpy(dst + x * (toDocument ? docPixel : pixel), src + x * (toDocument ? pixel : docPixel), pixel);
}

// Runs rows(first, end) over the rows [0, count), in one band per processor
// the process may use when the copy is large enough to gain from it.  A
// band whose thread cannot be started runs on the calling thread.
template <typename F>
void inRowBands(int32 count, int64_t rowBytes, const F& rows) {
    const int n = std::min(platform::processorCount(), 64);
    if (n <= 1 || count < 2 * n || int64_t(count) * rowBytes < (int64_t(1) << 20)) {
        rows(int32(0), count);
        return;
    }
    auto first = [&](int i) { return int32(int64_t(count) * i / n); };
    std::vector<std::thread> workers;
    for (int i = 1; i < n; ++i) {
        try {
            workers.emplace_back(rows, first(i), first(i + 1));
        } catch (const std::system_error&) {
            rows(first(i), first(i + 1));
        }
    }
    rows(int32(0), first(1));
    for (std::thread& t : workers) t.join();
}
}  // namespace

void Host::takeSnapshot() {
    Impl& m = *impl_;
    Document& s = m.snapshot;
    if (s.imageMode() == doc_.imageMode() && s.width() == doc_.width() && s.height() == doc_.height()) {
        const int64_t rowBytes = doc_.rowBytes();
        inRowBands(doc_.height(), rowBytes, [&](int32 first, int32 end) {
            std::memcpy(s.data() + first * rowBytes, doc_.data() + first * rowBytes, size_t((end - first) * rowBytes));
        });
    } else {
        Document copy(doc_);  // a copy that runs short of memory leaves the old one whole
        s = std::move(copy);
    }
    m.haveSnapshot = true;
}

void Host::dropSnapshot() {
    impl_->haveSnapshot = false;
    if (options_.checking) impl_->snapshot = Document();
}

void Host::commitPending() {
    Impl& m = *impl_;
    if (!m.pending) return;
    m.pending = false;
    VRect r = intersect(m.pendingRect, filterRect_);
    if (isEmpty(r)) return;
    const int32 sb = doc_.sampleBytes();
    const int16 n = int16(m.pendingHi - m.pendingLo + 1);
    inRowBands(r.bottom - r.top, int64_t(r.right - r.left) * n * sb, [&](int32 first, int32 end) {
        for (int32 y = r.top + first; y < r.top + end; ++y) {
            const uint8_t* row = m.outBuf.data() + int64_t(y - m.pendingRect.top) * m.pendingRowBytes;
            copyPixels(doc_.pixel(r.left, y) + int64_t(m.pendingLo) * sb,
                       row + int64_t(r.left - m.pendingRect.left) * n * sb, r.right - r.left, n, doc_.planes(), sb,
                       true);
        }
    });
}

void Host::finishPass() {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    commitPending();
}

void Host::endSelector(int16 selector) {
    if (selector != filterSelectorFinish) return;
    // A finish that fails leaves the pass failed: the document goes back as
    // the pass found it, so that the result and the document agree.
    if (result_ != noErr)
        failPass();
    else
        dropSnapshot();
}

void Host::discardPending() {
    std::lock_guard<std::recursive_mutex> lock(impl_->mutex);
    impl_->pending = false;
}

bool Host::hasPendingOutput() const { return impl_->pending; }

OSErr Host::pluginAdvanceState() {
    if (!refuse(advanceStatePlan, ++advanceStateCalls_, 0)) return serveRequest();
    advances_.push_back(advanceCall(readRequest(record_), advanceStateRefusal));
    record_.inData = record_.outData = record_.maskData = nullptr;
    record_.inRowBytes = record_.outRowBytes = record_.maskRowBytes = 0;
    return advanceStateRefusal;
}

OSErr Host::serveRequest() {
    try {
        return serve();
    } catch (const std::bad_alloc&) {
        // Nothing half-served reaches the plug-in; output still pending is
        // committed later, as it would have been.
        record_.inData = record_.outData = record_.maskData = nullptr;
        record_.inRowBytes = record_.outRowBytes = record_.maskRowBytes = 0;
        return memFullErr;
    }
}

// One request: checked, then the input, output and mask served in turn.
OSErr Host::serve() {
    const Request q = readRequest(record_);
    const AdvanceCall call = advanceCall(q, noErr);
    const std::string problem = requestProblem(q);
    if (!problem.empty()) return refuseRequest(call, problem);
    advances_.push_back(call);

    // The previous output goes into the document before anything is served.
    // Input comes from the image as the pass found it: a filter reads its
    // source, and what it has written so far is its destination.
    // The source is taken at the pass's first request, before anything is written.
    if (!impl_->haveSnapshot) takeSnapshot();
    commitPending();
    serveInput(q, impl_->snapshot);
    serveOutput(q);
    serveMask(q);
    return noErr;
}

// What is wrong with a request, in words; empty when nothing is.
std::string Host::requestProblem(const Request& q) const {
    const FilterRecord& r = record_;
    const int32 W = doc_.width(), H = doc_.height();
    const int16 P = doc_.planes();
    const int32 rate = q.rate;
    const int32 scaledW = (W + rate - 1) / rate, scaledH = (H + rate - 1) / rate;
    const int16 padding = q.padding;

    // The text of a problem is made only when there is one: profiling
    // alone makes some ten thousand requests.
    std::string problem;
    auto check = [&](bool bad, const auto& text) {
        if (bad && problem.empty()) problem = text();
    };
    const bool inWanted = !isEmpty(q.in), outWanted = !isEmpty(q.out);
    const bool maskWanted = r.haveMask && !isEmpty(q.mask);
    check(isInverted(q.in), [&] { return "inRect " + rectText(q.in) + " is inverted"; });
    check(isInverted(q.out), [&] { return "outRect " + rectText(q.out) + " is inverted"; });
    check(r.haveMask && isInverted(q.mask), [&] { return "maskRect " + rectText(q.mask) + " is inverted"; });
    if (inWanted) {
        check(r.inLoPlane < 0 || r.inHiPlane >= P || r.inLoPlane > r.inHiPlane, [&] {
            return "input planes " + std::to_string(r.inLoPlane) + ".." + std::to_string(r.inHiPlane) +
                   " of an image with " + std::to_string(P) + " planes";
        });
        bool pads = (padding >= 0 && padding <= 255) || padding == plugInWantsEdgeReplication ||
                    padding == plugInDoesNotWantPadding;
        check(padding < plugInWantsErrorOnBoundsException || padding > 255,
              [&] { return "inputPadding " + std::to_string(padding) + " is not a padding value"; });
        check(!pads && !inside(q.in, scaledH, scaledW), [&] {
            return "inRect " + rectText(q.in) + " lies outside the image " + rectText(VRect{0, 0, scaledH, scaledW}) +
                   (rate > 1 ? " at input rate " + std::to_string(rate) : std::string());
        });
    }
    if (outWanted) {
        check(r.outLoPlane < 0 || r.outHiPlane >= P || r.outLoPlane > r.outHiPlane, [&] {
            return "output planes " + std::to_string(r.outLoPlane) + ".." + std::to_string(r.outHiPlane) +
                   " of an image with " + std::to_string(P) + " planes";
        });
        check(!inside(q.out, H, W),
              [&] { return "outRect " + rectText(q.out) + " lies outside the image " + rectText(doc_.bounds()); });
    }
    if (maskWanted)
        check(!inside(q.mask, H, W),
              [&] { return "maskRect " + rectText(q.mask) + " lies outside the image " + rectText(doc_.bounds()); });
    // Row bytes are 32-bit in the record; a padded request could still ask
    // for more than that.
    auto tooWide = [&](const VRect& rc, int16 lo, int16 hi) {
        return (int64_t(rc.right) - rc.left) * (hi - lo + 1) * doc_.sampleBytes() + options_.rowSlackBytes + 8 >
               int64_t(0x7FFFFFFF);
    };
    check(inWanted && problem.empty() && tooWide(q.in, r.inLoPlane, r.inHiPlane),
          [&] { return "inRect " + rectText(q.in) + " is too wide for 32-bit row bytes"; });
    return problem;
}

// A request that cannot be served: answered with the options' error and
// nothing to read or write.
OSErr Host::refuseRequest(AdvanceCall call, const std::string& problem) {
    FilterRecord& r = record_;
    call.result = options_.badRequestError;
    advances_.push_back(call);
    requestErrors_.push_back("advanceState: " + problem);
    r.inData = r.outData = r.maskData = nullptr;
    r.inRowBytes = r.outRowBytes = r.maskRowBytes = 0;
    r.inColumnBytes = r.inPlaneBytes = r.outColumnBytes = r.outPlaneBytes = 0;
    return call.result;
}

namespace {
// Row bytes of a served buffer: what its pixels need and the host's
// slack, rounded up to whole samples.
int32 servedRowBytes(int64_t needed, int32 slackBytes, int32 sampleBytes) {
    const int64_t slack = (int64_t(slackBytes) + sampleBytes - 1) / sampleBytes * sampleBytes;
    return int32(needed + std::max<int64_t>(slack, 0));
}

// A checking host serves every request in fresh memory, filled, so that
// a pointer kept from an earlier one shows under AddressSanitizer; a
// host used as a tool keeps the memory and hands out the document's own
// rows where it can.
void renew(std::vector<uint8_t>& buf, size_t bytes, bool checking) {
    if (checking) {
        std::vector<uint8_t>().swap(buf);
        buf.assign(bytes, 0xFF);
    } else if (buf.size() < bytes) {
        buf.resize(bytes);
    }
}

// Whether a request can be served as the document's own rows: every plane,
// inside the image, rows the record's 32 bits can step over.
bool servesDocumentRows(const Document& d, const VRect& rc, int16 lo, int16 hi, bool checking) {
    return !checking && lo == 0 && hi == d.planes() - 1 && inside(rc, d.height(), d.width()) &&
           d.rowBytes() <= int64_t(0x7FFFFFFF);
}

// Points one side of the record (input or output) at what is served.
void pointAt(void*& data, int32& rowBytes, int32& columnBytes, int32& planeBytes, void* at, int32 row, int32 column,
             int32 plane) {
    data = at;
    rowBytes = row;
    columnBytes = column;
    planeBytes = plane;
}

// One sample of the padding value (0..255) at the document's depth.
std::vector<uint8_t> paddingSample(int16 padding, int32 sampleBytes) {
    std::vector<uint8_t> pad(size_t(sampleBytes), 0xFF);
    if (padding >= 0) {
        if (sampleBytes == 1) pad[0] = uint8_t(padding);
        if (sampleBytes == 2) {
            uint16_t v = uint16_t((int32(padding) * 32768 + 127) / 255);
            std::memcpy(pad.data(), &v, 2);
        }
        if (sampleBytes == 4) {
            float v = float(padding) / 255.0f;
            std::memcpy(pad.data(), &v, 4);
        }
    }
    return pad;
}
}  // namespace

// The input: the source's own rows, or a copy of the rectangle at the
// input rate, padded outside the image as the plug-in asked.
void Host::serveInput(const Request& q, const Document& source) {
    Impl& m = *impl_;
    FilterRecord& r = record_;
    const int32 W = doc_.width(), H = doc_.height();
    const int16 P = doc_.planes();
    const int32 sb = doc_.sampleBytes();
    const int32 rate = q.rate;
    const int16 padding = q.padding;
    const bool checking = options_.checking;
    if (isEmpty(q.in)) {
        renew(m.inBuf, 0, checking);
        pointAt(r.inData, r.inRowBytes, r.inColumnBytes, r.inPlaneBytes, nullptr, 0, 0, 0);
        return;
    }
    if (rate == 1 && servesDocumentRows(source, q.in, r.inLoPlane, r.inHiPlane, checking)) {
        pointAt(r.inData, r.inRowBytes, r.inColumnBytes, r.inPlaneBytes,
                const_cast<uint8_t*>(source.pixel(q.in.left, q.in.top)), int32(source.rowBytes()),
                int32(source.pixelBytes()), sb);
        return;
    }
    const int16 n = int16(r.inHiPlane - r.inLoPlane + 1);
    const int32 w = q.in.right - q.in.left, hgt = q.in.bottom - q.in.top;
    const int32 rb = servedRowBytes(int64_t(w) * n * sb, options_.rowSlackBytes, sb);
    std::vector<uint8_t>& buf = m.inBuf;
    renew(buf, size_t(int64_t(rb) * hgt), checking);
    const std::vector<uint8_t> pad = paddingSample(padding, sb);
    const bool whole = rate == 1 && inside(q.in, H, W);
    inRowBands(hgt, int64_t(w) * n * sb, [&](int32 first, int32 end) {
        for (int32 y = first; y < end; ++y) {
            uint8_t* row = buf.data() + int64_t(y) * rb;
            if (whole) {
                copyPixels(row, source.pixel(q.in.left, q.in.top + y) + int64_t(r.inLoPlane) * sb, w, n, P, sb,
                           false);
                continue;
            }
            for (int32 x = 0; x < w; ++x) {
                int32 sx = (q.in.left + x) * rate, sy = (q.in.top + y) * rate;
                bool out = sx < 0 || sy < 0 || sx >= W || sy >= H;
                if (out && padding == plugInWantsEdgeReplication) {
                    sx = std::min(std::max(sx, 0), W - 1);
                    sy = std::min(std::max(sy, 0), H - 1);
                    out = false;
                }
                uint8_t* dst = row + int64_t(x) * n * sb;
                if (!out) {
                    std::memcpy(dst, source.pixel(sx, sy) + int64_t(r.inLoPlane) * sb, size_t(n) * sb);
                } else if (padding >= 0) {
                    for (int16 p = 0; p < n; ++p) std::memcpy(dst + p * sb, pad.data(), size_t(sb));
                }  // plugInDoesNotWantPadding: the bytes stay as they are (0xFF when checking)
            }
        }
    });

    pointAt(r.inData, r.inRowBytes, r.inColumnBytes, r.inPlaneBytes, m.inBuf.data(), rb, n * sb, sb);
}

// The output: the document's own rows inside the filter rectangle, or a
// buffer pre-filled with the document's pixels, as a host would, committed
// at the next request or at the end of the pass.
void Host::serveOutput(const Request& q) {
    Impl& m = *impl_;
    FilterRecord& r = record_;
    const int16 P = doc_.planes();
    const int32 sb = doc_.sampleBytes();
    const bool checking = options_.checking;
    if (isEmpty(q.out)) {
        renew(m.outBuf, 0, checking);
        pointAt(r.outData, r.outRowBytes, r.outColumnBytes, r.outPlaneBytes, nullptr, 0, 0, 0);
        return;
    }
    const bool outInsideFilter = q.out.top >= filterRect_.top && q.out.left >= filterRect_.left &&
                                 q.out.bottom <= filterRect_.bottom && q.out.right <= filterRect_.right;
    if (outInsideFilter && servesDocumentRows(doc_, q.out, r.outLoPlane, r.outHiPlane, checking)) {
        pointAt(r.outData, r.outRowBytes, r.outColumnBytes, r.outPlaneBytes, doc_.pixel(q.out.left, q.out.top),
                int32(doc_.rowBytes()), int32(doc_.pixelBytes()), sb);
        return;
    }
    const int16 n = int16(r.outHiPlane - r.outLoPlane + 1);
    const int32 w = q.out.right - q.out.left, hgt = q.out.bottom - q.out.top;
    const int32 rb = servedRowBytes(int64_t(w) * n * sb, options_.rowSlackBytes, sb);
    std::vector<uint8_t>& buf = m.outBuf;
    renew(buf, size_t(int64_t(rb) * hgt), checking);
    inRowBands(hgt, int64_t(w) * n * sb, [&](int32 first, int32 end) {
        for (int32 y = first; y < end; ++y)
            copyPixels(buf.data() + int64_t(y) * rb,
                       doc_.pixel(q.out.left, q.out.top + y) + int64_t(r.outLoPlane) * sb, w, n, P, sb, false);
    });

    pointAt(r.outData, r.outRowBytes, r.outColumnBytes, r.outPlaneBytes, m.outBuf.data(), rb, n * sb, sb);
    m.pending = true;
    m.pendingRect = q.out;
    m.pendingLo = r.outLoPlane;
    m.pendingHi = r.outHiPlane;
    m.pendingRowBytes = rb;
}

// The mask: one 8-bit plane, always a copy.
void Host::serveMask(const Request& q) {
    Impl& m = *impl_;
    FilterRecord& r = record_;
    if (!r.haveMask || isEmpty(q.mask)) {
        std::vector<uint8_t>().swap(m.maskBuf);
        r.maskData = nullptr;
        r.maskRowBytes = 0;
        return;
    }
    const int32 W = doc_.width();
    const int32 w = q.mask.right - q.mask.left, hgt = q.mask.bottom - q.mask.top;
    const int32 rb = int32(w + std::max(options_.rowSlackBytes, 0));
    std::vector<uint8_t> buf(size_t(int64_t(rb) * hgt), 0xFF);
    for (int32 y = 0; y < hgt; ++y)
        std::memcpy(buf.data() + int64_t(y) * rb, mask_.data() + int64_t(q.mask.top + y) * W + q.mask.left,
                    size_t(w));
    m.maskBuf.swap(buf);
    r.maskData = m.maskBuf.data();
    r.maskRowBytes = rb;
}

OSErr MACPASCAL advanceState() {
    HOST_ENTRY();
    return Host::Impl::advance(h);
}

}  // namespace refhost
