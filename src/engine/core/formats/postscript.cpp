// PostScript and EPS, rendered by Ghostscript in a process of its own.
//
// A PostScript file is a program: thirteen bytes can loop for ever or ask for
// a page of any size. So Ghostscript runs with -dSAFER, a fixed page (the
// file's bounding box, at most kMaxDrawingPixels), a wall-clock limit, and
// limits on its memory, processor time and output size; what it prints goes
// to a log file, never to our output. It is started only for a load somebody
// asked for (DecodeOptions::runPrograms), never while decoding ahead.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"
#include "write_file.h"

extern char** environ;

namespace qova::engine {

namespace {

namespace fs = std::filesystem;

// Ghostscript gets this much processor time for one file, all pages
// included, and at most kWallLimitMs of wall clock (it may be waiting, or
// the machine busy with other work).
constexpr int kTimeLimitMs = 1500;
constexpr int kWallLimitMs = 10000;
constexpr rlim_t kMemoryLimit = rlim_t(1) << 30;
constexpr int kMaxPages = 1000;

struct Dsc {
    bool eps = false;
    bool haveBox = false;
    double llx = 0, lly = 0, urx = 612, ury = 792;  // US letter, Ghostscript's default page
    int pages = 1;
};

// The value after `key` on the first line that starts with it, in `text`.
bool findComment(const std::string& text, const char* key, std::string& value) {
    size_t at = 0;
    const size_t n = std::strlen(key);
    while ((at = text.find(key, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r') {
            const size_t end = text.find_first_of("\r\n", at + n);
            value = text.substr(at + n, end == std::string::npos ? std::string::npos : end - at - n);
            if (value.find("(atend)") == std::string::npos) return true;
        }
        at += n;
    }
    return false;
}

bool parseBox(const std::string& v, Dsc& d) {
    double b[4];
    const char* p = v.c_str();
    for (double& x : b) {
        char* end = nullptr;
        x = std::strtod(p, &end);
        if (end == p || !std::isfinite(x)) return false;
        p = end;
    }
    if (!(b[2] > b[0]) || !(b[3] > b[1])) return false;
    d.llx = b[0]; d.lly = b[1]; d.urx = b[2]; d.ury = b[3];
    d.haveBox = true;
    return true;
}

// Reads the document structuring comments Ghostscript's output depends on:
// the bounding box and the page count, in the header or, "(atend)", the trailer.
Dsc readDsc(ByteSpan ps) {
    Dsc d;
    const size_t headLen = std::min<size_t>(ps.size, 64 << 10);
    const std::string head(reinterpret_cast<const char*>(ps.data), headLen);
    const std::string tail = ps.size > headLen
        ? std::string(reinterpret_cast<const char*>(ps.data) + ps.size - std::min<size_t>(ps.size - headLen, 64 << 10),
                      std::min<size_t>(ps.size - headLen, 64 << 10))
        : std::string();
    const size_t firstLine = head.find_first_of("\r\n");
    d.eps = head.substr(0, firstLine).find("EPSF") != std::string::npos;
    std::string v;
    for (const std::string* t : {&head, &tail}) {
        if (!d.haveBox && findComment(*t, "%%HiResBoundingBox:", v)) parseBox(v, d);
        if (!d.haveBox && findComment(*t, "%%BoundingBox:", v)) parseBox(v, d);
    }
    if (!d.eps && (findComment(head, "%%Pages:", v) || findComment(tail, "%%Pages:", v))) {
        const long n = std::strtol(v.c_str(), nullptr, 10);
        if (n > 0) d.pages = int(std::min<long>(n, kMaxPages));
    }
    if (d.eps) d.pages = 1;
    return d;
}

// The PostScript inside a DOS EPS binary (which adds a TIFF or WMF preview).
bool unwrapDosEps(ByteSpan in, ByteSpan& ps) {
    if (in.size < 30) return false;
    const uint32_t off = rd32le(in.data + 4), len = rd32le(in.data + 8);
    if (off < 30 || off >= in.size || len == 0 || len > in.size - off) return false;
    ps = ByteSpan{in.data + off, len};
    return true;
}

std::string findProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t at = 0;
    while (at <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', at), dirs.size());
        const std::string dir = dirs.substr(at, end - at);
        if (!dir.empty()) {
            const std::string p = dir + "/" + name;
            if (::access(p.c_str(), X_OK) == 0) return p;
        }
        at = end + 1;
    }
    return {};
}

// Ghostscript's chatter goes here: $XDG_CACHE_HOME/qova/ghostscript.log (or
// ~/.cache/…), started afresh once it passes a megabyte.
int openLog() {
    std::string dir;
    if (const char* x = std::getenv("XDG_CACHE_HOME"); x && *x) dir = x;
    else if (const char* h = std::getenv("HOME"); h && *h) dir = std::string(h) + "/.cache";
    if (!dir.empty()) {
        std::error_code ec;
        fs::create_directories(dir + "/qova", ec);
        const std::string path = dir + "/qova/ghostscript.log";
        struct stat st {};
        const bool big = ::stat(path.c_str(), &st) == 0 && st.st_size > (1 << 20);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (big ? O_TRUNC : 0), 0600);
        if (fd >= 0) return fd;
    }
    return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
}

// Processor time a child has used so far, from /proc (0 when unknown).
long processorMs(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buf[512];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return 0;
    buf[n] = 0;
    // Fields after the command name (which may hold spaces): state is the
    // 3rd, user and system time the 14th and 15th.
    const char* p = std::strrchr(buf, ')');
    if (!p) return 0;
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2) return 0;
    static const long ticks = sysconf(_SC_CLK_TCK);
    return ticks > 0 ? long((utime + stime) * 1000 / (unsigned long long)ticks) : 0;
}

struct RunResult {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;
};

RunResult runLimited(const std::vector<std::string>& args, int timeLimitMs, rlim_t outputLimit) {
    RunResult r;
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // Options in the environment would come before ours (and could undo -dSAFER).
    std::vector<std::string> envStore;
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "GS_OPTIONS=", 11) != 0 && std::strncmp(*e, "GS_LIB=", 7) != 0) envStore.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    const int log = openLog();
    const int nullIn = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const rlim_t cpu = rlim_t(timeLimitMs / 1000 + 2);  // a backstop: the loop below is finer

    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        setpgid(0, 0);
        const rlimit mem{kMemoryLimit, kMemoryLimit}, cpuLimit{cpu, cpu + 1}, out{outputLimit, outputLimit},
            core{0, 0};
        setrlimit(RLIMIT_AS, &mem);
        setrlimit(RLIMIT_CPU, &cpuLimit);
        setrlimit(RLIMIT_FSIZE, &out);
        setrlimit(RLIMIT_CORE, &core);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigaction(SIGXFSZ, &dfl, nullptr);
        if (nullIn >= 0) dup2(nullIn, 0);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (log >= 0) ::close(log);
    if (nullIn >= 0) ::close(nullIn);
    if (pid < 0) return r;
    r.started = true;
    timespec start {};
    clock_gettime(CLOCK_MONOTONIC, &start);
    int status = 0;
    long sleepUs = 1000;
    for (;;) {
        const pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid) break;
        if (w < 0 && errno != EINTR) return r;
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsedMs = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (processorMs(pid) >= timeLimitMs || elapsedMs >= kWallLimitMs) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            r.timedOut = true;
            return r;
        }
        const timespec pause{0, sleepUs * 1000};
        nanosleep(&pause, nullptr);
        sleepUs = std::min(sleepUs * 2, 20000L);
    }
    // Whatever it started in its group goes with it.
    kill(-pid, SIGKILL);
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    else r.timedOut = WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL);
    return r;
}

// Ghostscript's pnmraw pages: P4 (1 = black), P5 (8-bit grey) or P6.
int16_t readPnm(const std::vector<uint8_t>& d, Bitmap& out) {
    size_t p = 0;
    auto skipSpace = [&] {
        while (p < d.size() && (std::isspace(d[p]) || d[p] == '#')) {
            if (d[p] == '#') while (p < d.size() && d[p] != '\n') ++p;
            else ++p;
        }
    };
    auto number = [&](long& v) {
        skipSpace();
        v = 0;
        size_t digits = 0;
        while (p < d.size() && std::isdigit(d[p]) && digits < 9) v = v * 10 + (d[p++] - '0'), ++digits;
        return digits > 0;
    };
    if (d.size() < 3 || d[0] != 'P' || (d[1] != '4' && d[1] != '5' && d[1] != '6')) return kErrCorrupt;
    const char kind = char(d[1]);
    p = 2;
    long w = 0, h = 0, maxval = 1;
    if (!number(w) || !number(h) || (kind != '4' && !number(maxval))) return kErrCorrupt;
    if (w <= 0 || h <= 0 || (kind != '4' && maxval != 255)) return kErrCorrupt;
    if (uint64_t(w) * uint64_t(h) > kMaxDrawingPixels) return kErrTooLarge;
    ++p;  // the single white space before the pixels
    const size_t rowBytes = kind == '4' ? size_t(w + 7) / 8 : kind == '5' ? size_t(w) : size_t(w) * 3;
    if (p > d.size() || (d.size() - p) / rowBytes < size_t(h)) return kErrRead;
    int16_t code = kOk;
    const int bpp = kind == '4' ? 1 : kind == '5' ? 8 : 24;
    Bitmap b = Bitmap::create(int(w), int(h), bpp, kind == '5', &code);
    if (b.isNull()) return code;
    if (kind == '4') b.setPalette({Rgb{255, 255, 255}, Rgb{0, 0, 0}});
    for (long y = 0; y < h; ++y) {
        const uint8_t* s = d.data() + p + rowBytes * size_t(y);
        uint8_t* o = b.mutableRow(int(y));
        if (kind != '6') {
            std::memcpy(o, s, rowBytes);
        } else {
            for (long x = 0; x < w; ++x) { o[x * 3] = s[x * 3 + 2]; o[x * 3 + 1] = s[x * 3 + 1]; o[x * 3 + 2] = s[x * 3]; }
        }
    }
    out = std::move(b);
    return kOk;
}

bool readWhole(const std::string& path, std::vector<uint8_t>& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && st.st_size >= 0;
    if (ok) {
        out.resize(size_t(st.st_size));
        size_t got = 0;
        while (ok && got < out.size()) {
            const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) ok = false;
            else got += size_t(n);
        }
    }
    ::close(fd);
    return ok;
}

bool writeWhole(const std::string& path, ByteSpan data) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < data.size) {
        const ssize_t n = ::write(fd, data.data + done, data.size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += size_t(n);
    }
    return ::close(fd) == 0 && ok;
}

// A private folder for the program's input and pages, removed with it.
class WorkDir {
public:
    WorkDir() {
        const char* t = std::getenv("TMPDIR");
        std::string tmpl = std::string(t && *t ? t : "/tmp") + "/qova-ps-XXXXXX";
        if (mkdtemp(tmpl.data())) path_ = tmpl;
    }
    ~WorkDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

int16_t decodePostScript(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    ByteSpan ps = in;
    if (in.size >= 4 && std::memcmp(in.data, "\xC5\xD0\xD3\xC6", 4) == 0) {
        if (!unwrapDosEps(in, ps)) return kErrCorrupt;
    }
    if (ps.size < 4 || std::memcmp(ps.data, "%!", 2) != 0) return kErrBadFormat;
    const Dsc dsc = readDsc(ps);
    const double wd = std::floor(dsc.urx - dsc.llx + 0.5), hd = std::floor(dsc.ury - dsc.lly + 0.5);
    doc.info.width = int(std::clamp(wd, 1.0, double(kMaxDimension)));
    doc.info.height = int(std::clamp(hd, 1.0, double(kMaxDimension)));
    doc.info.bpp = 24;  // known only once rendered
    doc.info.pageCount = dsc.pages;
    doc.info.formatCode = kFmtEps;
    if (opts.infoOnly) return kOk;
    if (!opts.runPrograms) return kErrSubtype;
    if (wd > kMaxDimension || hd > kMaxDimension || uint64_t(wd) * uint64_t(hd) > kMaxDrawingPixels) return kErrTooLarge;
    const uint64_t pageBytes = uint64_t(Bitmap::strideFor(doc.info.width, 24)) * uint64_t(doc.info.height);
    const uint64_t ceiling = loadCeiling();
    if (pageBytes > ceiling) return kErrNoMemory;
    // An EPS has one page by definition (the showpage added below may add a blank second).
    const int inDocument = dsc.eps ? 1 : kMaxPages;
    const int lastWanted = opts.pageCount < 0 ? inDocument : std::min(inDocument, opts.firstPage + opts.pageCount);
    if (opts.firstPage >= lastWanted) return kErrBadParam;
    const int lastPage = int(std::min<uint64_t>(uint64_t(lastWanted), uint64_t(opts.firstPage) + ceiling / pageBytes));

    const std::string gs = findProgram("gs");
    if (gs.empty()) return kErrSubtype;
    ignoreFileSizeSignal();
    WorkDir work;
    if (work.path().empty()) return kErrWrite;
    const std::string input = work.path() + "/in.ps";
    if (!writeWhole(input, ps)) return kErrWrite;

    char geometry[64], install[128];
    std::snprintf(geometry, sizeof geometry, "-g%dx%d", doc.info.width, doc.info.height);
    std::snprintf(install, sizeof install, "<</Install {%.4f %.4f translate}>> setpagedevice", -dsc.llx, -dsc.lly);
    std::vector<std::string> args = {gs,
                                     "-q",
                                     "-dSAFER",
                                     "-dBATCH",
                                     "-dNOPAUSE",
                                     "-dNOPROMPT",
                                     "-dNOINTERPOLATE",
                                     "-sDEVICE=pnmraw",
                                     "-r72",
                                     geometry,
                                     "-dFIXEDMEDIA",
                                     "-dTextAlphaBits=4",
                                     "-dGraphicsAlphaBits=4",
                                     "-dFirstPage=" + std::to_string(opts.firstPage + 1),
                                     "-dLastPage=" + std::to_string(lastPage),
                                     "-sOutputFile=" + work.path() + "/page%05d.pnm",
                                     "-c",
                                     install,
                                     "-f",
                                     input};
    // An EPS need not show its page: one more showpage makes sure it does
    // (and falls past the last page when the file had its own).
    if (dsc.eps) args.insert(args.end(), {"-c", "showpage"});
    if (opts.progress) opts.progress(0);
    const uint64_t outputLimit = std::min<uint64_t>(ceiling, 1ull << 30) + (1 << 20);
    const RunResult run = runLimited(args, kTimeLimitMs, rlim_t(outputLimit));
    if (!run.started) return kErrSubtype;
    if (run.timedOut) return kErrCorrupt;
    if (run.exitCode == 127) return kErrSubtype;

    // Pages Ghostscript finished, in order; a PostScript error ends the list.
    std::vector<Frame> frames;
    int16_t firstError = kOk;
    for (int page = 1;; ++page) {
        char name[32];
        std::snprintf(name, sizeof name, "/page%05d.pnm", page);
        std::vector<uint8_t> bytes;
        if (!readWhole(work.path() + name, bytes)) break;
        Bitmap b;
        const int16_t c = readPnm(bytes, b);
        if (c != kOk) {
            firstError = c;
            break;
        }
        frames.push_back(Frame{std::move(b)});
    }
    if (frames.empty()) return firstError != kOk ? firstError : int16_t(kErrCorrupt);
    doc.info.width = frames.front().bitmap.width();
    doc.info.height = frames.front().bitmap.height();
    doc.info.bpp = frames.front().bitmap.bpp();
    doc.info.pageCount = opts.firstPage + int(frames.size());
    if (opts.progress) opts.progress(100);
    doc.frames = std::move(frames);
    return kOk;
}

}  // namespace qova::engine
