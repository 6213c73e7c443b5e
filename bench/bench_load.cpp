// Load/save timing for the engine, and a file checker.
//
//   bench_load FILE...            one line per file: code width height bpp pages
//   bench_load --make DIR [--huge]  writes the benchmark's input files into DIR
//   bench_load --time FILE [N]    best of N loads: ms, peak memory, bitmap size
//   bench_load --save FILE FORMAT [N]  best of N saves of FILE as FORMAT (engine code)
//   bench_load --dir DIR [N]      ms per file to load every .jpg in DIR (best of N passes)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "bench_support.h"

using namespace qova::engine;
namespace fs = std::filesystem;

namespace {

using qova::bench::nowMs;

long peakRssKb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

// A photo-like picture: smooth gradients, edges and sensor-like noise, so the
// JPEG entropy resembles a real camera file.
Bitmap makePhoto(int w, int h, unsigned seed) {
    Bitmap b = Bitmap::create(w, h, 24);
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.f, 6.f);
    const float fx = 6.2831f / float(w), fy = 6.2831f / float(h);
    const float a = float(rng() % 100) / 30.f, c = float(rng() % 100) / 40.f;
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            const float base = 128 + 90 * std::sin(x * fx * 3 + a) * std::cos(y * fy * 2 + c);
            const float stripes = ((x / 97 + y / 131) & 1) ? 25.f : -25.f;
            const float n = noise(rng);
            r[x * 3] = uint8_t(std::clamp(base + stripes + n, 0.f, 255.f));
            r[x * 3 + 1] = uint8_t(std::clamp(base * 0.8f + 40 + n, 0.f, 255.f));
            r[x * 3 + 2] = uint8_t(std::clamp(255 - base + stripes * 0.5f + n, 0.f, 255.f));
        }
    }
    return b;
}

int save(const Bitmap& b, const std::string& path, int format, int bpp = 0, int quality = 90) {
    Document d;
    d.frames.push_back(Frame{b});
    SaveRequest r;
    r.path = path;
    r.format = format;
    r.bpp = bpp;
    r.quality = quality;
    return saveFile(d, r);
}

int make(const std::string& dir, bool huge) {
    fs::create_directories(dir + "/walk");
    Bitmap big = makePhoto(6000, 4000, 1);
    save(big, dir + "/photo24mp.jpg", kFmtJpeg);
    save(big, dir + "/photo24mp.png", kFmtPng);
    save(big, dir + "/photo24mp.tif", kFmtTiffLzw);
    save(big, dir + "/photo24mp.bmp", kFmtBmp);
    save(big, dir + "/photo24mp.gif", kFmtGif, 8);
    save(big, dir + "/photo24mp.pcx", kFmtPcx);
    save(big, dir + "/photo24mp.tga", kFmtTga);
    save(makePhoto(1200, 850, 2), dir + "/photo1mp.jpg", kFmtJpeg);
    for (int i = 0; i < 20; ++i) {
        const int w = 1800 + (i % 5) * 200, h = 1200 + (i % 4) * 150;
        char name[64];
        std::snprintf(name, sizeof name, "/walk/img%03d.jpg", i);
        save(makePhoto(w, h, 10 + unsigned(i)), dir + name, kFmtJpeg);
    }
    if (huge) {
        big = Bitmap();
        save(makePhoto(12000, 8400, 3), dir + "/photo100mp.jpg", kFmtJpeg);
    }
    return 0;
}

double timeLoad(const std::string& path, Document& doc, int16_t& code) {
    LoadRequest req;
    req.path = path;
    const double t0 = nowMs();
    code = loadFile(req, doc);
    return nowMs() - t0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: see the header of bench_load.cpp\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "--make" && argc >= 3) return make(argv[2], argc >= 4 && std::strcmp(argv[3], "--huge") == 0);
    if (mode == "--time" && argc >= 3) {
        const int n = argc >= 4 ? std::atoi(argv[3]) : 3;
        double best = 1e30;
        int16_t code = 0;
        size_t bytes = 0;
        for (int i = 0; i < n; ++i) {
            Document doc;
            best = std::min(best, timeLoad(argv[2], doc, code));
            if (!doc.frames.empty()) bytes = doc.frames[0].bitmap.byteSize();
        }
        std::printf("code=%d load_ms=%.1f peak_rss_mb=%.1f bitmap_mb=%.1f\n", code, best, peakRssKb() / 1024.0,
                    bytes / 1048576.0);
        return code;
    }
    if (mode == "--save" && argc >= 4) {
        Document doc;
        int16_t code = 0;
        timeLoad(argv[2], doc, code);
        if (code) return code;
        const int format = std::atoi(argv[3]);
        const int n = argc >= 5 ? std::atoi(argv[4]) : 3;
        double best = 1e30;
        const std::string out = "/tmp/qova-bench-save." + std::string(findFormat(format) ? findFormat(format)->extension : "bin");
        for (int i = 0; i < n; ++i) {
            SaveRequest r;
            r.path = out;
            r.format = format;
            r.quality = 90;
            const double t0 = nowMs();
            code = saveFile(doc, r);
            best = std::min(best, nowMs() - t0);
        }
        fs::remove(out);
        std::printf("code=%d save_ms=%.1f\n", code, best);
        return code;
    }
    if (mode == "--dir" && argc >= 3) {
        std::vector<std::string> files;
        for (const auto& e : fs::directory_iterator(argv[2]))
            if (e.path().extension() == ".jpg") files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        const int n = argc >= 4 ? std::atoi(argv[3]) : 3;
        double best = 1e30;
        for (int i = 0; i < n; ++i) {
            const double t0 = nowMs();
            for (const auto& f : files) {
                Document doc;
                int16_t code = 0;
                timeLoad(f, doc, code);
            }
            best = std::min(best, nowMs() - t0);
        }
        std::printf("files=%zu ms_per_file=%.2f\n", files.size(), best / double(std::max<size_t>(1, files.size())));
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        LoadInfo info;
        Document doc;
        LoadRequest req;
        req.path = argv[i];
        const int16_t code = loadFile(req, doc);
        if (code == kOk) {
            const Bitmap& b = doc.frames[0].bitmap;
            std::printf("%s %d %d %d %d %d\n", argv[i], code, b.width(), b.height(), b.bpp(), doc.info.pageCount);
        } else {
            std::printf("%s %d 0 0 0 0\n", argv[i], code);
        }
    }
    return 0;
}
