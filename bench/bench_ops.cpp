// Times every pixel operation on a 24-megapixel colour image beside the
// closest GraphicsMagick, ImageMagick and libvips commands (peers_ops.sh,
// run in the same process tree on the same pixels), with each operation's
// peak memory, against two floors measured in the same run on the same
// threads as the operations (the engine's row bands):
//   touched: a copy of the bitmap into a buffer already written once;
//   new:     a copy into a new bitmap from the engine's allocator, as every
//            operation on a shared picture writes its result.
// Operations that write a new bitmap are held to the second, those that only
// read the picture to the first, those that read it whole before writing
// (equalising, stretching) to the sum. The cost of a mapping new to the process
// (what the allocator avoids by reusing freed buffers) and whether the kernel
// granted huge pages are reported beside them.
//
// Usage: bench_ops [--no-peers] [--size WxH] [--only NAME] [--runs N (default 3)]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/ops/op_support.h"
#include "engine/core/ops/ops.h"
#include "engine/core/pixel_memory.h"

using namespace qova::engine;

namespace {

using Clock = std::chrono::steady_clock;

// A photo-like picture: smooth gradients, texture and some hard edges.
Bitmap makePicture(int w, int h) {
    Bitmap b = Bitmap::create(w, h, 24);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 28) - 8;
            const bool block = ((x / 300) + (y / 200)) % 3 == 0;
            r[x * 3] = uint8_t(std::clamp(int(128 + 100 * std::sin(x * 0.003)) + n, 0, 255));
            r[x * 3 + 1] = uint8_t(std::clamp((y * 255 / h) + n + (block ? 40 : 0), 0, 255));
            r[x * 3 + 2] = uint8_t(std::clamp(int(128 + 90 * std::cos((x + y) * 0.002)) + n, 0, 255));
        }
    }
    return b;
}

bool writePpm(const Bitmap& b, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", b.width(), b.height());
    std::vector<uint8_t> row(size_t(b.width()) * 3);
    for (int y = 0; y < b.height(); ++y) {
        const uint8_t* s = b.row(y);
        for (int x = 0; x < b.width(); ++x) {
            row[size_t(x) * 3] = s[x * 3 + 2]; row[size_t(x) * 3 + 1] = s[x * 3 + 1]; row[size_t(x) * 3 + 2] = s[x * 3];
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0;
}

long rssKb() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0, res = 0;
    if (f) { if (std::fscanf(f, "%ld %ld", &pages, &res) != 2) res = 0; std::fclose(f); }
    return res * (sysconf(_SC_PAGESIZE) / 1024);
}

// Kilobytes of anonymous memory on huge pages in this process.
long hugeKb() {
    FILE* f = std::fopen("/proc/self/smaps_rollup", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "AnonHugePages: %ld kB", &kb) == 1) break;
    std::fclose(f);
    return kb;
}

// Copies the picture's rows into dst in the engine's row bands, on the
// threads the operations use.
void bandCopy(const Bitmap& src, Bitmap& dst) {
    const ProgressFn quiet;
    ops::Progress none(quiet);
    const uint8_t* in = src.bits();
    uint8_t* out = dst.mutableBits();
    const size_t stride = src.stride();
    ops::parallelRows(0, src.height(), none, 0, 0, [&](int y0, int y1) {
        std::memcpy(out + stride * size_t(y0), in + stride * size_t(y0), stride * size_t(y1 - y0));
    });
}

struct Result {
    double seconds = -1;
    double peakRatio = 0;  // peak extra memory / bitmap bytes, plus the bitmap itself
    int code = 0;
    double cpu = -1;       // processor time of the fastest run, all threads
    double first = -1;     // the first run, in a child whose allocator holds nothing yet
    long hugeKb = -1;      // huge-page memory the run added
};

int kRuns = 3;  // --runs

// Runs one operation in a child so its peak memory can be read alone. The
// child works on its own copy-on-write view of the picture, and starts with
// no buffers kept from the parent (those pages are the parent's until
// written).
Result measure(const Bitmap& pic, const std::function<int16_t(Bitmap&)>& op, int runs = kRuns) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        pixel_memory::releaseKept();
        Bitmap b = pic;
        const long base = rssKb();
        const long hugeBase = hugeKb();
        double best = 1e30, first = -1, bestCpu = 1e30;
        auto cpuNow = [] {
            rusage u{};
            getrusage(RUSAGE_SELF, &u);
            return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        };
        int16_t code = kOk;
        long peak = 0, huge = -1;
        for (int i = 0; i < runs; ++i) {
            Bitmap work = b;
            const double c0 = cpuNow();
            const auto t0 = Clock::now();
            code = op(work);
            const double t = std::chrono::duration<double>(Clock::now() - t0).count();
            bestCpu = std::min(bestCpu, cpuNow() - c0);
            best = std::min(best, t);
            if (i == 0) {
                first = t;
                const long h = hugeKb();
                if (h >= 0 && hugeBase >= 0) huge = h - hugeBase;
            }
            rusage ru{};
            getrusage(RUSAGE_SELF, &ru);
            peak = std::max(peak, ru.ru_maxrss);
        }
        Result r;
        r.seconds = best;
        r.cpu = bestCpu;
        r.first = first;
        r.hugeKb = huge;
        r.code = code;
        // Pages of the shared picture count as the bitmap itself.
        r.peakRatio = 1.0 + double(std::max(0L, peak - base)) * 1024.0 / double(pic.byteSize());
        if (write(fds[1], &r, sizeof r) != sizeof r) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Result r;
    if (read(fds[0], &r, sizeof r) != sizeof r) r = Result{};
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return r;
}

// A peer's time for one operation: its command's best time less its no-op
// run's best time, and how far the no-op's second best run lay from its best.
struct PeerTime {
    double seconds = -1;
    double noise = 0;
};

std::map<std::string, std::map<std::string, PeerTime>> runPeers(const Bitmap& pic, const std::string& script) {
    std::map<std::string, std::map<std::string, PeerTime>> out;
    const std::string dir = "/tmp/qova-bench-ops";
    std::system(("mkdir -p " + dir).c_str());
    if (!writePpm(pic, dir + "/in.ppm")) return out;
    FILE* p = popen(("bash '" + script + "' " + dir + "/in.ppm " + dir + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    char op[64], tool[16];
    double t, noise;
    while (std::fscanf(p, "%63s %15s %lf %lf", op, tool, &t, &noise) == 4) out[op][tool] = PeerTime{t, noise};
    pclose(p);
    std::system(("rm -rf " + dir).c_str());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    int w = 6000, h = 4000;
    bool peers = true;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--no-peers")) peers = false;
        else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) std::sscanf(argv[++i], "%dx%d", &w, &h);
        else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) kRuns = std::max(1, std::atoi(argv[++i]));
    }
    const Bitmap pic = makePicture(w, h);
    std::printf("picture %d x %d, 24 bits, %.1f MB\n", w, h, pic.byteSize() / 1e6);

    // The floors: the same read-and-write pass over the bitmap, into a buffer
    // already written, and into a new bitmap from the allocator.
    // Short passes: the best of many runs, so that a busy moment does not
    // lower every ratio below.
    const int floorRuns = std::max(kRuns, 15), quickRuns = std::max(kRuns, 10);
    Bitmap touchedDst = Bitmap::create(w, h, 24);
    const Result touched = measure(pic, [&](Bitmap& b) {
        bandCopy(b, touchedDst);
        return int16_t(kOk);
    }, floorRuns);
    const Result fresh = measure(pic, [](Bitmap& b) {
        Bitmap dst = pixel_memory::createForRewrite(b.width(), b.height(), b.bpp());
        bandCopy(b, dst);
        b = std::move(dst);
        return int16_t(kOk);
    }, floorRuns);
    std::printf("floor, copy into a touched buffer:       %.4f s (processor %.4f s)\n", touched.seconds, touched.cpu);
    std::printf("floor, copy into a new bitmap:           %.4f s (processor %.4f s)\n", fresh.seconds, fresh.cpu);
    std::printf("  the same into a mapping new to the process: %.4f s (%.1fx; the allocator reuses freed buffers)\n",
                fresh.first, fresh.first / fresh.seconds);
    if (fresh.hugeKb < 0) std::printf("  huge pages: not reported by this kernel\n");
    else
        std::printf("  huge pages: %s (%ld of %.0f MB of the new mapping)\n",
                    fresh.hugeKb * 1024.0 >= 0.9 * double(pic.byteSize()) ? "granted"
                    : fresh.hugeKb > 0                                   ? "partly granted"
                                                                         : "not granted",
                    fresh.hugeKb / 1024, pic.byteSize() / 1048576.0);

    std::map<std::string, std::map<std::string, PeerTime>> peer;
    if (peers) {
        std::string script = std::string(argv[0]);
        script = script.substr(0, script.find_last_of('/') + 1) + "peers_ops.sh";
        if (access(script.c_str(), R_OK) != 0) script = QOVA_BENCH_DIR "/peers_ops.sh";
        peer = runPeers(pic, script);
    }

    const Region ellipse = Region::ellipse(RectI{w / 4, h / 4, w / 2, h / 2});
    // Levels 40..215 only. Made by hand: running an operation here would
    // start OpenCV's worker threads in this process, and the children that
    // time each operation (forked from it) would then run on one core.
    Bitmap narrow = pic.clone();
    for (int y = 0; y < h; ++y) {
        uint8_t* r = narrow.mutableRow(y);
        for (size_t i = 0; i < size_t(w) * 3; ++i) r[i] = uint8_t(40 + r[i] * 175 / 255);
    }
    // The floor an operation is held to: the passes over memory it cannot
    // avoid. Operations that only read the picture: the touched copy; those
    // that write a new bitmap: the copy into a new bitmap; those that must
    // read the whole picture before they can write a pixel (a table from the
    // histogram, the darkest and brightest level): both, one after the other.
    enum Floor { kNew, kTouch, kReadThenNew };
    struct Case {
        const char* name;
        bool perPixel;  // one pixel in, one out: held to twice its floor
        std::function<int16_t(Bitmap&)> op;
        Floor floor = kNew;
    };
    using namespace ops;
    const std::vector<Case> cases = {
        {"invert", true, [](Bitmap& b) { return invert(b); }},
        {"brightness", true, [](Bitmap& b) { return brightness(b, 40); }},
        {"contrast", true, [](Bitmap& b) { return contrast(b, 50); }},
        {"saturation", true, [](Bitmap& b) { return saturation(b, 50); }},
        {"hue", true, [](Bitmap& b) { return hue(b, 90); }},
        {"gamma", true, [](Bitmap& b) { return gammaCorrect(b, 220); }},
        {"equalise", true, [](Bitmap& b) { return histogramEqualise(b); }, kReadThenNew},
        {"histo_contrast", true, [](Bitmap& b) { return histogramContrast(b, 50); }, kReadThenNew},
        {"stretch", true, [](Bitmap& b) { return stretchIntensity(b); }},
        // The picture already spans every level, so stretch above only scans
        // it; this one has levels to spread.
        {"stretch_narrow", true, [&](Bitmap& b) { b = narrow; return stretchIntensity(b); }, kReadThenNew},
        {"greyscale", true, [](Bitmap& b) { return greyscale(b, 8); }},
        {"solarize", true, [](Bitmap& b) { return solarize(b, 128); }},
        {"posterize", true, [](Bitmap& b) { return posterize(b, 4); }},
        {"detect", true, [](Bitmap& b) { return intensityDetect(b, 128, 255); }},
        {"noise", true, [](Bitmap& b) { return addNoise(b, 20, 0); }},
        {"fill", true, [](Bitmap& b) { return fill(b, 0x0000FF); }},
        {"invert_region", true, [&](Bitmap& b) { return invert(b, &ellipse); }},
        // Reductions, not one pixel in and one out: a count per level, one bit
        // per possible colour.
        {"count_colours", false, [](Bitmap& b) { uint32_t n; return countColours(b, n); }, kTouch},
        {"histogram", false, [](Bitmap& b) { Histogram hh; return histogram(b, 0, hh); }, kTouch},
        {"mosaic", false, [](Bitmap& b) { return mosaic(b, 10); }},
        {"average", false, [](Bitmap& b) { return average(b, 2); }},
        {"median", false, [](Bitmap& b) { return median(b, 2); }},
        {"sharpen", false, [](Bitmap& b) { return sharpen(b, 60); }},
        {"emboss", false, [](Bitmap& b) { return emboss(b, 45, 40); }},
        {"oilify", false, [](Bitmap& b) { return oilify(b, 3); }},
        {"spatial_sobel", false, [](Bitmap& b) { return spatialFilter(b, kFilterSobelV); }},
        {"edge_enhance", false, [](Bitmap& b) {
             Bitmap d = b;
             if (int16_t c = spatialFilter(d, kFilterEdgeDetail)) return c;
             return combine(b, 0, 0, b.width(), b.height(), d, 0, 0, kCombineAddDetail);
         }},
        {"rotate90", false, [](Bitmap& b) { return rotate(b, 9000, true, 0xFFFFFF); }},
        {"rotate30", false, [](Bitmap& b) { return rotate(b, 3000, true, 0xFFFFFF); }},
        {"shear", false, [](Bitmap& b) { return shear(b, 2000, true, 0xFFFFFF); }},
        {"resize_half", false, [](Bitmap& b) { return resize(b, b.width() / 2, b.height() / 2, kResizeResample); }},
        {"resize_plain", false, [](Bitmap& b) { return resize(b, b.width() / 2, b.height() / 2, kResizePlain); }},
        {"flip", true, [](Bitmap& b) { return flip(b); }},
        {"reverse", true, [](Bitmap& b) { return reverse(b); }},
        {"colour_res8", false, [](Bitmap& b) { return colourResolution(b, 8, kResOptimised, kDitherDiffusion, 0); }},
        {"colour_res4_ordered", false, [](Bitmap& b) { return colourResolution(b, 4, 0, kDitherOrdered, 0); }},
        {"halftone", false, [](Bitmap& b) { return halftone(b, kHalftoneView, 0); }},
    };

    std::printf("\n%-20s %9s %6s %8s %8s %9s %9s %9s %11s %8s\n", "operation", "ours s", "floor", "/floor", "cpu s",
                "gm s", "im s", "vips s", "ours/peer", "peak ×");
    for (const Case& c : cases) {
        if (!only.empty() && only != c.name) continue;
        const Result r = measure(pic, c.op, c.perPixel ? quickRuns : kRuns);
        const auto it = peer.find(c.name);
        // A peer difference below one memory pass, or below the noise of
        // that tool's no-op runs, is not a time: it is shown as noise and
        // left out of the ratio.
        constexpr double kNoise = -2;
        auto peerTime = [&](const char* tool) {
            if (it == peer.end()) return -1.0;
            const auto jt = it->second.find(tool);
            if (jt == it->second.end()) return -1.0;
            const PeerTime& t = jt->second;
            return t.seconds < t.noise ? kNoise : t.seconds;
        };
        const double g = peerTime("gm"), m = peerTime("im"), v = peerTime("vips");
        double best = -1;
        bool noisy = false;
        for (double t : {g, m, v}) {
            noisy |= t == kNoise;
            if (t > 0 && (best < 0 || t < best)) best = t;
        }
        auto cell = [](double t) {
            static char buf[4][16];
            static int k = 0;
            char* s = buf[k++ & 3];
            if (t == kNoise) std::snprintf(s, 16, "%9s", "noise");
            else if (t < 0) std::snprintf(s, 16, "%9s", "-");
            else std::snprintf(s, 16, "%9.4f", t);
            return s;
        };
        char ratio[16];
        if (best > 0) std::snprintf(ratio, sizeof ratio, "%10.2f%s", r.seconds / best, noisy ? "*" : " ");
        else std::snprintf(ratio, sizeof ratio, "%11s", noisy ? "below noise" : "-");
        const double fl = c.floor == kTouch ? touched.seconds
                          : c.floor == kNew ? fresh.seconds
                                            : touched.seconds + fresh.seconds;
        std::printf("%-20s %9.4f %6s %7.1f%s %8.4f %s %s %s %s %7.2f%s\n", c.name, r.seconds,
                    c.floor == kTouch ? "touch" : c.floor == kNew ? "new" : "t+new", r.seconds / fl, c.perPixel && r.seconds > 2 * fl ? "!" : " ", r.cpu,
                    cell(g), cell(m), cell(v), ratio,
                    r.peakRatio, r.code ? " (error)" : "");
        std::fflush(stdout);
    }
    std::printf("\nours s: best of %d runs (per-pixel operations: of at least 10; the floors: 15).\n"
                "floor: the floor an operation is held to (touch: the copy into\n"
                "  a touched buffer; new: the copy into a new bitmap; t+new: both, for an operation that\n"
                "  reads the whole picture before it writes).\n"
                "/floor: our time over that floor (! = a per-pixel operation above 2x).\n"
                "cpu s: processor time of the fastest run over all threads (what a busy machine\n"
                "  cannot inflate the way it inflates the wall time).\n"
                "ours/peer: our time over the fastest peer (decode and encode excluded).\n"
                "noise: the peer's time less its no-op run was under how far the no-op's\n"
                "  second best run lay from its best, so too small to tell;\n"
                "  * = a ratio that leaves such a peer out.\n"
                "peak x: the operation's peak memory over the bitmap's size.\n", kRuns);
    return 0;
}
