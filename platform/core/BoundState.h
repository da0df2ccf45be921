#pragma once
// Each platform module keeps its mutable state in one object. A scope owns a fresh one and
// binds it while it lives (a program's context binds one of each module, a module's tests may
// bind just theirs); scopes nest, the newest one wins. Code that runs with nothing bound uses a
// default made on first use, which lasts until the process ends.

#include <memory>
#include <utility>

namespace epc {

template <class TState> class TBoundState {
public:
    static TState& Current() { return FBound ? *FBound : Default(); }
    // Binds state (null: the default) and returns what was bound before.
    static TState* Bind(TState* state) { return std::exchange(FBound, state); }

private:
    static TState& Default() {
        // Never destroyed: what it holds may still reach other modules' statics at exit.
        static TState* state = new TState;
        return *state;
    }
    inline static TState* FBound = nullptr;
};

// A state with a ShutDown() member has it run before unbinding, while everything it may call
// still reaches this state.
template <class TState> class TStateScope {
public:
    TStateScope() : FState(std::make_unique<TState>()) {
        FPrevious = TBoundState<TState>::Bind(FState.get());
    }
    ~TStateScope() {
        if constexpr (requires(TState & s) { s.ShutDown(); }) FState->ShutDown();
        TBoundState<TState>::Bind(FPrevious);
    }
    TStateScope(const TStateScope&) = delete;
    TStateScope& operator=(const TStateScope&) = delete;

    TState& State() const { return *FState; }

private:
    std::unique_ptr<TState> FState;
    TState* FPrevious = nullptr;
};

} // namespace epc
