// The one error trap of the program's handlers: every menu item, key, list
// click, timer and dialog button the shell connects runs inside it, so an
// error raised by the engine (or anything else) ends that handler quietly
// and never reaches the event loop. Handlers that report an error do so
// themselves before it gets here.
#pragma once

#include <QObject>

#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

namespace qova::shell {

// Runs `f`, swallowing whatever it throws.
void trapped(const std::function<void()>& f);

namespace detail {

// Calls f with as many of the leading arguments as it takes (a handler may
// ignore a signal's trailing ones, as Qt allows).
template <class F, class... A> void callLeading(const F& f, A&&... a);

template <class F, class T, size_t... I> void callWithout(const F& f, T&& t, std::index_sequence<I...>) {
    callLeading(f, std::get<I>(std::forward<T>(t))...);
}

template <class F, class... A> void callLeading(const F& f, A&&... a) {
    if constexpr (std::is_invocable_v<const F&, A...>) {
        f(std::forward<A>(a)...);
    } else {
        static_assert(sizeof...(A) > 0, "the handler cannot be called with the signal's arguments");
        callWithout(f, std::forward_as_tuple(std::forward<A>(a)...), std::make_index_sequence<sizeof...(A) - 1>{});
    }
}

}  // namespace detail

// `f` wrapped in the trap, taking the same arguments (or fewer).
template <class F> auto trap(F f) {
    return [f = std::move(f)](auto&&... args) {
        trapped([&] { detail::callLeading(f, std::forward<decltype(args)>(args)...); });
    };
}

// QObject::connect with the handler inside the trap; `context` ends the
// connection when destroyed, as with QObject::connect.
template <class Sender, class Signal, class F>
QMetaObject::Connection connectTrapped(const Sender* sender, Signal signal, const QObject* context, F f) {
    return QObject::connect(sender, signal, context, trap(std::move(f)));
}

// For tests: `probe` runs inside the trap before every handler (it may
// throw, standing in for a failing handler); null removes it.
void setTrapProbe(std::function<void()> probe);

}  // namespace qova::shell
