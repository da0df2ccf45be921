#include "platform/core/Threads.h"

#include <unistd.h>

#include <chrono>
#include <functional>

#include "platform/core/Exceptions.h"

namespace epc {

TThread::TThread(bool createSuspended) {
    if (!createSuspended)
        throw EInvalidOperation("A thread must be started with Start() after it is constructed");
}

TThread::~TThread() { TerminateAndWait(); }

void TThread::Start() {
    if (FStarted) return;
    FStarted = true;
    FThread = std::thread([this] {
        Execute();
        FFinished = true;
    });
}

void TThread::TerminateAndWait() {
    Terminate();
    WaitFor();
}

int TThread::WaitFor() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
    return ReturnValue;
}

void TEvent::SetEvent() {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FSignaled = true;
    }
    if (FManualReset)
        FCondition.notify_all();
    else
        FCondition.notify_one();
}

void TEvent::ResetEvent() {
    std::lock_guard<std::mutex> lock(FMutex);
    FSignaled = false;
}

TWaitResult TEvent::WaitFor(int timeoutMs) {
    std::unique_lock<std::mutex> lock(FMutex);
    auto ready = [this] { return FSignaled; };
    if (timeoutMs < 0) {
        FCondition.wait(lock, ready);
    } else if (!FCondition.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return TWaitResult::wrTimeout;
    }
    if (!FManualReset) FSignaled = false;
    return TWaitResult::wrSignaled;
}

uint32_t GetCurrentThreadId() {
    return static_cast<uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
}

uint32_t GetCurrentProcessId() { return static_cast<uint32_t>(getpid()); }

}  // namespace epc
