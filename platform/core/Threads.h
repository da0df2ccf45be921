#pragma once
// Threads and the synchronisation objects the components use: a thread with a virtual body,
// an event (auto- or manual-reset), a critical section and a locked list.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/Types.h"

namespace epc {

class TThread : public TObject {
public:
    // The thread is always made suspended: starting it from the base constructor would let the
    // body run before the derived object exists. Call Start() once construction is complete.
    // createSuspended = false is refused for that reason.
    explicit TThread(bool createSuspended = true);
    // Asks the body to end and waits for it.
    ~TThread() override;
    std::string ClassName() const override { return "TThread"; }

    void Start();
    void Terminate() { FTerminated = true; }
    bool Terminated() const { return FTerminated; }
    bool Started() const { return FStarted; }
    bool Finished() const { return FFinished; }
    // Waits for the body to end and returns its ReturnValue; at once when it never started.
    int WaitFor();

protected:
    virtual void Execute() = 0;
    // Call at the start of the most derived destructor so the body never runs on a partly
    // destroyed object.
    void TerminateAndWait();
    int ReturnValue = 0;

private:
    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    bool FStarted = false;
};

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

class TEvent {
public:
    TEvent(bool manualReset, bool initialState)
        : FManualReset(manualReset), FSignaled(initialState) {}
    void SetEvent();
    void ResetEvent();
    // timeoutMs < 0 waits for ever.
    TWaitResult WaitFor(int timeoutMs = -1);

private:
    std::mutex FMutex;
    std::condition_variable FCondition;
    bool FManualReset;
    bool FSignaled;
};

class TCriticalSection {
public:
    void Enter() { FMutex.lock(); }
    void Leave() { FMutex.unlock(); }
    bool TryEnter() { return FMutex.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

private:
    std::recursive_mutex FMutex;
};

// A list guarded by a critical section: LockList gives the list until UnlockList.
template <typename T>
class TThreadList {
public:
    std::vector<T>& LockList() {
        FLock.Enter();
        return FList;
    }
    void UnlockList() { FLock.Leave(); }
    void Add(const T& item) {
        FLock.Enter();
        FList.push_back(item);
        FLock.Leave();
    }
    void Remove(const T& item) {
        FLock.Enter();
        for (auto it = FList.begin(); it != FList.end(); ++it)
            if (*it == item) {
                FList.erase(it);
                break;
            }
        FLock.Leave();
    }
    void Clear() {
        FLock.Enter();
        FList.clear();
        FLock.Leave();
    }

private:
    TCriticalSection FLock;
    std::vector<T> FList;
};

uint32_t GetCurrentThreadId();
uint32_t GetCurrentProcessId();

}  // namespace epc
