// The one mechanism behind the engine's process-wide handles (bitmaps and
// regions): a number naming one value, never 0, safe from any thread. After
// the counter wraps it skips numbers still in use, so a live handle never
// comes to name something else.
#pragma once

#include <mutex>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace qova::engine {

template <class Handle, class Value>
class HandleRegistry {
    static_assert(std::is_integral_v<Handle>);

public:
    Handle add(Value v) {
        std::lock_guard lock(mutex_);
        while (next_ <= 0 || entries_.count(next_)) next_ = next_ <= 0 ? Handle(1) : Handle(next_ + 1);
        const Handle h = next_++;
        entries_.emplace(h, std::move(v));
        return h;
    }
    // A copy of the value a handle names; nothing for 0 and unknown handles.
    std::optional<Value> get(Handle h) const {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(h);
        if (it == entries_.end()) return std::nullopt;
        return it->second;
    }
    // Runs f(value) under the lock; false for unknown handles or when f says so.
    template <class F> bool update(Handle h, F&& f) {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(h);
        return it != entries_.end() && f(it->second);
    }
    bool remove(Handle h) {
        std::lock_guard lock(mutex_);
        return entries_.erase(h) > 0;
    }
    size_t size() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    mutable std::mutex mutex_;
    std::unordered_map<Handle, Value> entries_;
    Handle next_ = 1;
};

}  // namespace qova::engine
