#include "read_ahead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "../codes.h"
#include "../view_copy.h"
#include "formats.h"

namespace qova::engine {

namespace {
std::atomic<int> workers{0};

// The whole file in one read (empty when it cannot be read).
std::vector<uint8_t> readWhole(const std::string& path) {
    std::vector<uint8_t> bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > 0) {
        bytes.resize(size_t(st.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    return bytes;
}
}  // namespace

int ReadAhead::runningWorkers() { return workers.load(); }

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool ReadAhead::stamp(const std::string& path, int64_t& mtime, int64_t& size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    mtime = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    size = int64_t(st.st_size);
    return true;
}

void ReadAhead::setLimits(size_t pictures, uint64_t bytes) {
    std::lock_guard lock(mutex_);
    maxPictures_ = pictures;
    maxBytes_ = bytes;
    trim();
}

void ReadAhead::prefetch(const std::vector<std::string>& paths, ViewSizeFn viewSize) {
    {
        std::lock_guard lock(mutex_);
        if (stop_ || maxPictures_ == 0) return;
        queue_.clear();
        wanted_ = paths;
        viewSize_ = std::move(viewSize);
        // What the walk has left behind goes now: kept, it would crowd out
        // the pictures asked for (the oldest held is often the next one).
        held_.remove_if([&](const Entry& e) {
            return e.done && e.waiters == 0 && e.path != kept_ &&
                   std::find(paths.begin(), paths.end(), e.path) == paths.end();
        });
        for (const auto& p : paths) {
            const bool held = std::any_of(held_.begin(), held_.end(), [&](const Entry& e) { return e.path == p; });
            if (!held) queue_.push_back(p);
        }
        if (!worker_.joinable()) {
            ++workers;
            worker_ = std::thread([this] {
                run();
                --workers;
            });
        }
    }
    wake_.notify_one();
}

bool ReadAhead::take(const std::string& path, Document& out, int16_t& code) {
    std::unique_lock lock(mutex_);
    // A reduced copy not asked for with its picture goes with it.
    takenPath_.clear();
    takenViewCopy_ = Bitmap();
    auto it = std::find_if(held_.begin(), held_.end(), [&](const Entry& e) { return e.path == path; });
    if (it == held_.end()) {
        // Not started yet: the caller decodes it now, so don't do it twice.
        queue_.erase(std::remove(queue_.begin(), queue_.end(), path), queue_.end());
        return false;
    }
    ++it->waiters;  // keeps trim() off this entry while we wait
    finished_.wait(lock, [&] { return it->done || stop_; });
    --it->waiters;
    if (!it->done) return false;
    int64_t mtime = 0, size = 0;
    const bool same = !it->skipped && stamp(path, mtime, size) && mtime == it->mtime && size == it->size;
    if (same) {
        out = std::move(it->doc);
        code = it->code;
        takenPath_ = path;
        takenViewCopy_ = std::move(it->viewCopy);
    }
    held_.erase(it);
    return same;
}

bool ReadAhead::takeViewCopy(const std::string& path, Bitmap& out) {
    std::lock_guard lock(mutex_);
    if (path != takenPath_ || takenViewCopy_.isNull()) return false;
    out = std::move(takenViewCopy_);
    takenViewCopy_ = Bitmap();
    takenPath_.clear();
    return true;
}

ReadAhead::Holding ReadAhead::holding(const std::string& path) const {
    std::lock_guard lock(mutex_);
    for (const auto& e : held_)
        if (e.path == path) return e.done ? (e.skipped ? Holding::None : Holding::Ready) : Holding::Decoding;
    return Holding::None;
}

void ReadAhead::unqueue(const std::string& path) {
    std::lock_guard lock(mutex_);
    queue_.erase(std::remove(queue_.begin(), queue_.end(), path), queue_.end());
}

void ReadAhead::keep(const std::string& path, Document doc, int64_t mtime, int64_t size) {
    std::lock_guard lock(mutex_);
    if (stop_ || maxPictures_ == 0 || doc.frames.empty()) return;
    uint64_t bytes = 0;
    for (const auto& f : doc.frames) bytes += f.bitmap.byteSize();
    // The same rule as for reading ahead: a picture larger than half of
    // what may be held is not held.
    if (bytes > maxBytes_ / 2) return;
    if (std::any_of(held_.begin(), held_.end(), [&](const Entry& e) { return e.path == path; })) return;
    // The picture left before this one is no longer wanted.
    const std::string older = kept_;
    kept_ = path;
    held_.remove_if([&](const Entry& e) {
        return e.done && e.waiters == 0 && e.path == older &&
               std::find(wanted_.begin(), wanted_.end(), e.path) == wanted_.end();
    });
    Entry e;
    e.path = path;
    e.mtime = mtime;
    e.size = size;
    e.done = true;
    e.code = kOk;
    e.doc = std::move(doc);
    held_.push_back(std::move(e));
    trim();
}

void ReadAhead::clear() {
    std::unique_lock lock(mutex_);
    queue_.clear();
    takenPath_.clear();
    takenViewCopy_ = Bitmap();
    kept_.clear();
    // A decode in progress finishes into its entry; drop only finished ones.
    held_.remove_if([](const Entry& e) { return e.done && e.waiters == 0; });
}

size_t ReadAhead::heldCount() const {
    std::lock_guard lock(mutex_);
    return held_.size();
}

bool ReadAhead::idle() const {
    std::lock_guard lock(mutex_);
    return queue_.empty() && std::all_of(held_.begin(), held_.end(), [](const Entry& e) { return e.done; });
}

void ReadAhead::trim() {
    // Pictures no longer asked for go first, then the oldest finished.
    auto bytes = [&] {
        uint64_t n = 0;
        for (const auto& e : held_)
            for (const auto& f : e.doc.frames) n += f.bitmap.byteSize();
        return n;
    };
    while (!held_.empty() && (held_.size() > maxPictures_ || bytes() > maxBytes_)) {
        auto spare = [](const Entry& e) { return e.done && e.waiters == 0; };
        auto victim = std::find_if(held_.begin(), held_.end(), [&](const Entry& e) {
            return spare(e) && std::find(wanted_.begin(), wanted_.end(), e.path) == wanted_.end();
        });
        if (victim == held_.end()) victim = std::find_if(held_.begin(), held_.end(), spare);
        if (victim == held_.end()) break;
        held_.erase(victim);
    }
}

void ReadAhead::run() {
    for (;;) {
        std::string path;
        std::list<Entry>::iterator slot;
        ViewSizeFn viewSize;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            path = queue_.front();
            queue_.pop_front();
            Entry e;
            e.path = path;
            if (!stamp(path, e.mtime, e.size)) continue;
            // A file larger than the pictures held may be is larger decoded.
            if (uint64_t(e.size) > maxBytes_ / 2) continue;
            // Nor is an outside program started for a picture nobody asked
            // for yet (a PostScript file may run for as long as its limit).
            if (runsProgram(path)) continue;
            held_.push_back(std::move(e));
            slot = std::prev(held_.end());
            viewSize = viewSize_;
        }
        // Read once; the header says what the pixels will cost before any
        // of them is decoded (a small file may hold a huge picture).
        LoadRequest req;
        req.path = path;
        req.runPrograms = false;
        std::vector<uint8_t> bytes = readWhole(path);
        const ByteSpan span{bytes.data(), bytes.size()};
        LoadInfo info;
        bool tooLarge = false;
        if (probeBytes(span, path, info) == kOk) {
            const uint64_t page = uint64_t(Bitmap::strideFor(info.width, std::max(info.bpp, 1))) * uint64_t(info.height);
            const uint64_t pages = uint64_t(std::max(info.pageCount, 1));
            uint64_t maxBytes;
            {
                std::lock_guard lock(mutex_);
                maxBytes = maxBytes_;
            }
            tooLarge = page > maxBytes / 2 || (page ? pages > maxBytes / 2 / page : false);
        }
        Document doc;
        int16_t code = kOk;
        if (!tooLarge) code = bytes.empty() ? int16_t(kErrRead) : loadBytes(span, req, doc);
        bytes = std::vector<uint8_t>();
        // The view's reduced copy, made here rather than on the view's
        // thread when the picture is shown.
        Bitmap viewCopy;
        if (code == kOk && viewSize && !doc.frames.empty()) {
            const Bitmap& first = doc.frames.front().bitmap;
            const auto [w, h] = viewSize(first.width(), first.height());
            if (w > 0 && h > 0 && (w < first.width() || h < first.height())) viewCopy = reducedCopy(first, w, h);
        }
        {
            std::lock_guard lock(mutex_);
            slot->doc = std::move(doc);
            slot->viewCopy = std::move(viewCopy);
            slot->code = code;
            // A failed decode is held too (its code answers the load); one
            // too large to hold is dropped, or left for the load waiting on it.
            slot->done = true;
            slot->skipped = tooLarge;
            if (tooLarge && slot->waiters == 0) held_.erase(slot);
            trim();
        }
        finished_.notify_all();
    }
}

}  // namespace qova::engine
