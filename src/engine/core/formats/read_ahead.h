// Decoding ahead: while the user looks at one picture, the next ones in the
// folder decode on the other core, so stepping to them shows at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../pages.h"

namespace qova::engine {

class ReadAhead {
public:
    static ReadAhead& instance();
    ~ReadAhead();

    // Decodes these files (in order) in the background, forgetting earlier
    // requests that have not started. Files already held stay held.
    void prefetch(const std::vector<std::string>& paths);
    // When `path` is held or being decoded, waits for it and hands over the
    // result (moved out: a picture is taken once). False when not held or
    // the file changed since it was read.
    bool take(const std::string& path, Document& out, int16_t& code);
    void clear();
    size_t heldCount() const;
    // Most pictures kept at once and the memory they may use.
    void setLimits(size_t pictures, uint64_t bytes);

private:
    ReadAhead() = default;
    struct Entry {
        std::string path;
        int64_t mtime = 0;
        int64_t size = 0;
        bool done = false;
        int waiters = 0;
        int16_t code = 0;
        Document doc;
    };
    void run();
    void trim();
    static bool stamp(const std::string& path, int64_t& mtime, int64_t& size);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::deque<std::string> queue_;
    std::list<Entry> held_;
    std::thread worker_;
    bool stop_ = false;
    size_t maxPictures_ = 3;
    uint64_t maxBytes_ = 768ull << 20;
};

}  // namespace qova::engine
