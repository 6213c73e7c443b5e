// Decoding ahead: while the user looks at one picture, the next ones in the
// folder decode on the other core, so stepping to them shows at once. The
// main window owns one (its worker thread ends with it); a document loads
// through it when given one.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../pages.h"

namespace qova::engine {

class ReadAhead {
public:
    ReadAhead() = default;
    // Stops the worker and waits for it (a decode under way finishes first).
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The size a view will paint a picture of width × height at, once it is
    // shown ({0, 0}: its own size). Called on the worker thread.
    using ViewSizeFn = std::function<std::pair<int, int>(int width, int height)>;

    // Decodes these files (in order) in the background, forgetting earlier
    // requests that have not started. Files held stay held when named
    // again; those not named are let go. With `viewSize`, a picture the
    // view will show smaller also gets its reduced copy (view_copy.h) made
    // on the worker.
    void prefetch(const std::vector<std::string>& paths, ViewSizeFn viewSize = {});
    // When `path` is held or being decoded, waits for it and hands over the
    // result (moved out: a picture is taken once). False when not held or
    // the file changed since it was read.
    bool take(const std::string& path, Document& out, int16_t& code);
    // The reduced copy made with the picture of `path` that take() handed
    // over last (moved out; false when none was made).
    bool takeViewCopy(const std::string& path, Bitmap& out);
    // Where `path` stands: not held (nor being decoded), being decoded, or
    // decoded and waiting to be taken.
    enum class Holding { None, Decoding, Ready };
    Holding holding(const std::string& path) const;
    // Drops `path` from the files waiting to be decoded (its caller
    // decodes it itself).
    void unqueue(const std::string& path);
    // The picture a view has just left, as its file gave it (file time and
    // size as they were when it was read): held like one decoded ahead, so
    // that turning back costs no decode, until a later picture is left or
    // the limits need the room. Served only while the file is unchanged.
    void keep(const std::string& path, Document doc, int64_t mtime, int64_t size);
    // The file's time (nanoseconds) and size; false when it cannot be read.
    static bool fileStamp(const std::string& path, int64_t& mtime, int64_t& size) { return stamp(path, mtime, size); }
    void clear();
    size_t heldCount() const;
    // Nothing queued and nothing being decoded (for tests).
    bool idle() const;
    // Most pictures kept at once and the memory their decoded pixels may
    // use. A picture that would decode to more than half of it is not read
    // ahead at all, however small its file.
    void setLimits(size_t pictures, uint64_t bytes);

    // Worker threads of all read-aheads still running (for tests).
    static int runningWorkers();

private:
    struct Entry {
        std::string path;
        int64_t mtime = 0;
        int64_t size = 0;
        bool done = false;
        bool skipped = false;  // too large to hold: the load decodes it itself
        int waiters = 0;
        int16_t code = 0;
        Document doc;
        Bitmap viewCopy;  // the first page reduced to the size the view will paint
    };
    void run();
    void trim();
    static bool stamp(const std::string& path, int64_t& mtime, int64_t& size);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::deque<std::string> queue_;
    std::vector<std::string> wanted_;  // the last prefetch's files
    std::string kept_;                 // the picture last left (keep())
    ViewSizeFn viewSize_;
    std::string takenPath_;  // the last picture taken and its reduced copy
    Bitmap takenViewCopy_;
    std::list<Entry> held_;
    std::thread worker_;
    bool stop_ = false;
    size_t maxPictures_ = 3;
    uint64_t maxBytes_ = 768ull << 20;
};

}  // namespace qova::engine
