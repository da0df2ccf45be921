#pragma once
// Runs a cleanup step when a scope ends, however it ends. Used for the "finally" half of
// begin/end pairs (update locks, canvas locks, change notification) so that an exception
// between the two cannot leave a counter raised.

#include <type_traits>
#include <utility>

namespace epc {

template <class F>
class TScopeGuard {
public:
    explicit TScopeGuard(F f) noexcept(std::is_nothrow_move_constructible_v<F>)
        : FAction(std::move(f)) {}
    TScopeGuard(const TScopeGuard&) = delete;
    TScopeGuard& operator=(const TScopeGuard&) = delete;
    ~TScopeGuard() noexcept(noexcept(std::declval<F&>()())) {
        if (FActive) FAction();
    }
    // Keeps the cleanup from running: for the success path of a commit-or-roll-back step.
    void Dismiss() noexcept { FActive = false; }

private:
    F FAction;
    bool FActive = true;
};

// auto guard = Finally([&] { EndUpdate(); });
template <class F>
[[nodiscard]] TScopeGuard<std::decay_t<F>> Finally(F&& f) {
    return TScopeGuard<std::decay_t<F>>(std::forward<F>(f));
}

}  // namespace epc
