#include "scanner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/bitmap.h"
#include "core/codes.h"

namespace qova::engine::scan {

double NumberChoice::clamp(double v) const {
    if (!values.empty()) {
        // The nearest value of the list.
        double best = values.front();
        for (double c : values)
            if (std::abs(c - v) < std::abs(best - v)) best = c;
        return best;
    }
    v = std::clamp(v, min, max);
    if (step > 0) v = std::min(max, min + std::round((v - min) / step) * step);
    return v;
}

int16_t codeFor(int status) {
    switch (status) {
    case SANE_STATUS_GOOD: return kOk;
    case SANE_STATUS_CANCELLED: return kErrTwainCancelled;
    case SANE_STATUS_DEVICE_BUSY: return kErrTwainBusy;
    case SANE_STATUS_NO_MEM: return kErrTwainNoMemory;
    default: return kErrTwainDevice;
    }
}

namespace {

// One frame as the device sent it.
struct Frame {
    SANE_Parameters p{};
    std::vector<uint8_t> data;
    int lines() const { return p.bytes_per_line > 0 ? int(data.size() / size_t(p.bytes_per_line)) : 0; }
};

// Sample `i` of a row (0–255), for the depths SANE sends.
inline int sample(const uint8_t* row, int i, int depth) {
    switch (depth) {
    case 1: return (row[i >> 3] >> (7 - (i & 7))) & 1 ? 255 : 0;
    case 16: {
        uint16_t v;
        std::memcpy(&v, row + 2 * size_t(i), 2);  // SANE's 16-bit samples are in host order
        return v >> 8;
    }
    default: return row[i];
    }
}

bool goodDepth(int d) { return d == 1 || d == 8 || d == 16; }

// The picture of the frames read; empty with `code` set when they do not
// make one.
Bitmap toBitmap(const std::vector<Frame>& frames, int16_t& code) {
    code = kErrTwainDevice;
    if (frames.empty()) return {};
    const SANE_Parameters& p0 = frames[0].p;
    const int w = p0.pixels_per_line;
    int h = frames[0].lines();
    for (const Frame& f : frames) h = std::min(h, f.lines());
    if (w <= 0 || h <= 0) return {};
    for (const Frame& f : frames)
        if (f.p.pixels_per_line != w || !goodDepth(f.p.depth)) return {};

    int16_t made = kOk;
    if (frames.size() == 1 && p0.format == SANE_FRAME_GRAY) {
        const Frame& f = frames[0];
        if (size_t(f.p.bytes_per_line) * 8 < size_t(w) * size_t(p0.depth)) return {};
        Bitmap b = Bitmap::create(w, h, p0.depth, p0.depth != 1, &made);
        if (b.isNull()) {
            code = made == kErrNoMemory ? kErrTwainNoMemory : kErrTwainDevice;
            return {};
        }
        const size_t rowBytes = (size_t(w) * size_t(p0.depth) + 7) / 8;
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = f.data.data() + size_t(y) * size_t(f.p.bytes_per_line);
            uint8_t* d = b.mutableRow(y);
            // Line art: SANE's 1 is black, the bitmap's index 1 is white.
            if (p0.depth == 1)
                for (size_t i = 0; i < rowBytes; ++i) d[i] = uint8_t(~s[i]);
            else
                std::memcpy(d, s, rowBytes);
        }
        if (p0.depth == 1) b.setPalette(Bitmap::greyPalette(2));
        code = kOk;
        return b;
    }

    // Colour: one interleaved RGB frame, or a red, a green and a blue frame.
    const Frame* planes[3] = {nullptr, nullptr, nullptr};
    bool interleaved = false;
    if (frames.size() == 1 && p0.format == SANE_FRAME_RGB) {
        interleaved = true;
        if (size_t(p0.bytes_per_line) * 8 < size_t(w) * 3 * size_t(p0.depth)) return {};
    } else {
        for (const Frame& f : frames) {
            const int c = f.p.format == SANE_FRAME_RED ? 0 : f.p.format == SANE_FRAME_GREEN ? 1
                        : f.p.format == SANE_FRAME_BLUE ? 2 : -1;
            if (c < 0 || size_t(f.p.bytes_per_line) * 8 < size_t(w) * size_t(f.p.depth)) return {};
            planes[c] = &f;
        }
        if (!planes[0] || !planes[1] || !planes[2]) return {};
    }
    Bitmap b = Bitmap::create(w, h, 24, false, &made);
    if (b.isNull()) {
        code = made == kErrNoMemory ? kErrTwainNoMemory : kErrTwainDevice;
        return {};
    }
    for (int y = 0; y < h; ++y) {
        uint8_t* d = b.mutableRow(y);
        if (interleaved) {
            const uint8_t* s = frames[0].data.data() + size_t(y) * size_t(p0.bytes_per_line);
            for (int x = 0; x < w; ++x) {
                d[3 * x + 2] = uint8_t(sample(s, 3 * x, p0.depth));
                d[3 * x + 1] = uint8_t(sample(s, 3 * x + 1, p0.depth));
                d[3 * x + 0] = uint8_t(sample(s, 3 * x + 2, p0.depth));
            }
        } else {
            for (int c = 0; c < 3; ++c) {
                const Frame& f = *planes[c];
                const uint8_t* s = f.data.data() + size_t(y) * size_t(f.p.bytes_per_line);
                for (int x = 0; x < w; ++x) d[3 * x + 2 - c] = uint8_t(sample(s, x, f.p.depth));
            }
        }
    }
    code = kOk;
    return b;
}

}  // namespace

struct Session::Impl {
    SANE_Handle handle = nullptr;
    // cancel() may come from the user-interface thread, which must never
    // wait for a driver: it starts `canceller` to tell the driver, and the
    // scan waits for that before it ends. `mutex` guards these two only.
    std::mutex mutex;
    bool scanning = false;
    std::thread canceller;
    std::atomic<bool> cancelled{false};

    // The index of an active, settable option by name; 0 when there is none.
    SANE_Int find(const char* name) const {
        const SANE_Option_Descriptor* d0 = sane_get_option_descriptor(handle, 0);
        SANE_Int count = 0;
        if (!d0 || sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
            return 0;
        for (SANE_Int i = 1; i < count; ++i) {
            const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
            if (d && d->name && std::strcmp(d->name, name) == 0 && SANE_OPTION_IS_ACTIVE(d->cap) &&
                SANE_OPTION_IS_SETTABLE(d->cap))
                return i;
        }
        return 0;
    }

    NumberChoice number(const char* name, SANE_Unit* unit = nullptr) const {
        NumberChoice n;
        const SANE_Int i = find(name);
        if (!i) return n;
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != SANE_Int(sizeof(SANE_Word)))
            return n;
        const bool fixed = d->type == SANE_TYPE_FIXED;
        auto toDouble = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : double(w); };
        SANE_Word v = 0;
        if (sane_control_option(handle, i, SANE_ACTION_GET_VALUE, &v, nullptr) != SANE_STATUS_GOOD) return n;
        n.value = toDouble(v);
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            n.min = toDouble(d->constraint.range->min);
            n.max = toDouble(d->constraint.range->max);
            n.step = toDouble(d->constraint.range->quant);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
            for (SANE_Int k = 1; k <= d->constraint.word_list[0]; ++k)
                n.values.push_back(toDouble(d->constraint.word_list[k]));
            if (n.values.empty()) return n;
        } else {
            n.min = n.max = n.value;
        }
        if (unit) *unit = d->unit;
        n.present = true;
        return n;
    }

    SANE_Status setNumber(const char* name, double value) {
        const SANE_Int i = find(name);
        if (!i) return SANE_STATUS_GOOD;  // the device has no such option
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != SANE_Int(sizeof(SANE_Word)))
            return SANE_STATUS_GOOD;
        SANE_Word w = d->type == SANE_TYPE_FIXED ? SANE_FIX(value) : SANE_Word(std::lround(value));
        return sane_control_option(handle, i, SANE_ACTION_SET_VALUE, &w, nullptr);
    }
};

Session::Session() : d(std::make_unique<Impl>()) {
    SANE_Int version = 0;
    startCode_ = sane_init(&version, nullptr) == SANE_STATUS_GOOD ? kOk : kErrTwainNoManager;
}

Session::~Session() {
    if (startCode_ != kOk) return;
    if (d->handle) sane_close(d->handle);
    sane_exit();
}

int16_t Session::listDevices(std::vector<Device>& out) {
    out.clear();
    if (startCode_) return startCode_;
    const SANE_Device** list = nullptr;
    const SANE_Status s = sane_get_devices(&list, SANE_FALSE);
    if (s != SANE_STATUS_GOOD) return codeFor(s);
    for (; list && *list; ++list) {
        const SANE_Device* dev = *list;
        auto str = [](const char* c) { return std::string(c ? c : ""); };
        out.push_back(Device{str(dev->name), str(dev->vendor), str(dev->model), str(dev->type)});
    }
    return out.empty() ? kErrTwainNoSource : kOk;
}

int16_t Session::open(const std::string& name) {
    if (startCode_) return startCode_;
    if (d->handle) {
        sane_close(d->handle);
        d->handle = nullptr;
    }
    SANE_Handle h = nullptr;
    const SANE_Status s = sane_open(name.c_str(), &h);
    if (s != SANE_STATUS_GOOD) return s == SANE_STATUS_INVAL ? int16_t(kErrTwainNoSource) : codeFor(s);
    d->handle = h;
    return kOk;
}

Options Session::options() const {
    Options o;
    if (!d->handle) return o;
    if (const SANE_Int i = d->find(SANE_NAME_SCAN_MODE)) {
        const SANE_Option_Descriptor* desc = sane_get_option_descriptor(d->handle, i);
        if (desc->type == SANE_TYPE_STRING && desc->constraint_type == SANE_CONSTRAINT_STRING_LIST && desc->size > 0) {
            std::vector<char> v(size_t(desc->size) + 1, 0);
            if (sane_control_option(d->handle, i, SANE_ACTION_GET_VALUE, v.data(), nullptr) == SANE_STATUS_GOOD) {
                for (const SANE_String_Const* m = desc->constraint.string_list; m && *m; ++m) o.modes.emplace_back(*m);
                o.mode = v.data();
            }
        }
    }
    o.resolution = d->number(SANE_NAME_SCAN_RESOLUTION);
    SANE_Unit unit = SANE_UNIT_MM;
    o.left = d->number(SANE_NAME_SCAN_TL_X, &unit);
    o.top = d->number(SANE_NAME_SCAN_TL_Y);
    o.right = d->number(SANE_NAME_SCAN_BR_X);
    o.bottom = d->number(SANE_NAME_SCAN_BR_Y);
    o.areaInPixels = unit == SANE_UNIT_PIXEL;
    return o;
}

int16_t Session::apply(const Settings& s) {
    if (!d->handle) return kErrTwainNoSource;
    // The mode first: it may change which resolutions and areas there are.
    Options o = options();
    if (!s.mode.empty() && !o.modes.empty() && s.mode != o.mode &&
        std::find(o.modes.begin(), o.modes.end(), s.mode) != o.modes.end()) {
        const SANE_Int i = d->find(SANE_NAME_SCAN_MODE);
        const SANE_Option_Descriptor* desc = sane_get_option_descriptor(d->handle, i);
        std::vector<char> v(size_t(std::max<SANE_Int>(desc->size, SANE_Int(s.mode.size() + 1))), 0);
        std::memcpy(v.data(), s.mode.c_str(), s.mode.size());
        const SANE_Status st = sane_control_option(d->handle, i, SANE_ACTION_SET_VALUE, v.data(), nullptr);
        if (st != SANE_STATUS_GOOD) return codeFor(st);
        o = options();
    }
    if (o.resolution.present && s.resolution > 0)
        if (const SANE_Status st = d->setNumber(SANE_NAME_SCAN_RESOLUTION, o.resolution.clamp(s.resolution)))
            return codeFor(st);
    if (o.hasArea()) {
        const double l = o.left.clamp(std::min(s.left, s.right)), r = o.right.clamp(std::max(s.left, s.right));
        const double t = o.top.clamp(std::min(s.top, s.bottom)), b = o.bottom.clamp(std::max(s.top, s.bottom));
        // Corner by corner, so the area is never inside out on the way.
        const bool growFirst = l >= o.right.value || t >= o.bottom.value;
        const std::pair<const char*, double> order1[] = {
            {SANE_NAME_SCAN_TL_X, l}, {SANE_NAME_SCAN_TL_Y, t}, {SANE_NAME_SCAN_BR_X, r}, {SANE_NAME_SCAN_BR_Y, b}};
        const std::pair<const char*, double> order2[] = {
            {SANE_NAME_SCAN_BR_X, r}, {SANE_NAME_SCAN_BR_Y, b}, {SANE_NAME_SCAN_TL_X, l}, {SANE_NAME_SCAN_TL_Y, t}};
        for (const auto& [name, v] : growFirst ? order2 : order1)
            if (const SANE_Status st = d->setNumber(name, v)) return codeFor(st);
    }
    return kOk;
}

int16_t Session::scan(Bitmap& out, const std::function<void(int)>& progress) {
    if (!d->handle) return kErrTwainNoSource;
    {
        std::lock_guard lock(d->mutex);
        d->scanning = true;
        d->cancelled = false;
    }
    std::vector<Frame> frames;
    int16_t code = kOk;
    if (progress) progress(0);
    for (;;) {
        SANE_Status s = sane_start(d->handle);
        if (s != SANE_STATUS_GOOD) {
            code = codeFor(s);
            break;
        }
        Frame f;
        s = sane_get_parameters(d->handle, &f.p);
        if (s != SANE_STATUS_GOOD) {
            code = codeFor(s);
            break;
        }
        if (f.p.bytes_per_line <= 0 || f.p.pixels_per_line <= 0 || !goodDepth(f.p.depth)) {
            code = kErrTwainDevice;
            break;
        }
        // A three-pass scanner sends three frames; each is a third of the work.
        const bool plane = f.p.format == SANE_FRAME_RED || f.p.format == SANE_FRAME_GREEN ||
                           f.p.format == SANE_FRAME_BLUE;
        const int frameNo = int(frames.size());
        const int64_t expected = f.p.lines > 0 ? int64_t(f.p.bytes_per_line) * f.p.lines : -1;
        if (expected > int64_t(kMaxBitmapBytes)) {
            code = kErrTwainNoMemory;
            break;
        }
        try {
            if (expected > 0) f.data.reserve(size_t(expected));
            std::vector<uint8_t> buf(64 * 1024);
            int lastPercent = -1;
            for (;;) {
                if (d->cancelled) {
                    s = SANE_STATUS_CANCELLED;
                    break;
                }
                SANE_Int len = 0;
                s = sane_read(d->handle, buf.data(), SANE_Int(buf.size()), &len);
                if (s != SANE_STATUS_GOOD) break;
                if (f.data.size() + size_t(len) > kMaxBitmapBytes) {
                    s = SANE_STATUS_NO_MEM;
                    break;
                }
                f.data.insert(f.data.end(), buf.data(), buf.data() + len);
                if (expected > 0 && progress) {
                    const double part = std::min(1.0, double(f.data.size()) / double(expected));
                    const int pc = plane ? int((frameNo + part) * 100 / 3) : int(part * 100);
                    if (pc != lastPercent && pc < 100) progress(lastPercent = pc);
                }
            }
        } catch (const std::bad_alloc&) {
            s = SANE_STATUS_NO_MEM;
        }
        if (s != SANE_STATUS_EOF) {
            code = codeFor(s == SANE_STATUS_GOOD ? SANE_STATUS_IO_ERROR : s);
            break;
        }
        const bool last = f.p.last_frame;
        frames.push_back(std::move(f));
        if (last || frames.size() >= 3) break;
    }
    {
        std::lock_guard lock(d->mutex);
        d->scanning = false;
    }
    if (d->canceller.joinable()) d->canceller.join();
    // Back to idle, after a whole scan as after a failed one.
    sane_cancel(d->handle);
    if (d->cancelled && code == kOk) code = kErrTwainCancelled;
    if (code != kOk) return code;
    Bitmap b = toBitmap(frames, code);
    if (code != kOk) return code;
    out = std::move(b);
    if (progress) progress(100);
    return kOk;
}

void Session::cancel() {
    d->cancelled = true;
    std::lock_guard lock(d->mutex);
    // A read blocked in the driver hears of it only through sane_cancel,
    // which SANE allows from another thread while the scan runs.
    if (!d->scanning || d->canceller.joinable()) return;
    d->canceller = std::thread([h = d->handle] { sane_cancel(h); });
}

}  // namespace qova::engine::scan
