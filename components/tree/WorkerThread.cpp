#include "components/tree/WorkerThread.h"

#include <algorithm>
#include <memory>

#include "components/tree/BaseVirtualTree.h"
#include "platform/windows/Window.h"

namespace epc {

namespace {
// Trees may be made and freed on any thread: the worker, its event and the count change together
// under gLock. gInstance mirrors gWorker for lock-free reads on every structural change.
std::mutex gLock;
std::unique_ptr<TWorkerThread> gWorker;
std::atomic<TWorkerThread*> gInstance{nullptr};
std::unique_ptr<TEvent> gWorkEvent; // auto-reset, signalled when work is queued
int gRefCount = 0;
} // namespace

// Made suspended: the thread starts only when a tree is queued, never on a partly built object.
TWorkerThread::TWorkerThread() : TThread(true) {}

TWorkerThread::~TWorkerThread() {
    TerminateAndWait();
}

void TWorkerThread::AddThreadReference() {
    std::lock_guard<std::mutex> lock(gLock);
    if (gRefCount == 0) {
        gWorkEvent = std::make_unique<TEvent>(false, false);
        gWorker = std::make_unique<TWorkerThread>();
        gInstance = gWorker.get();
    }
    ++gRefCount;
}

void TWorkerThread::ReleaseThreadReference(TBaseVirtualTree* tree) {
    if (tree) tree->InterruptValidation();
    std::unique_ptr<TWorkerThread> worker;
    std::unique_ptr<TEvent> event;
    {
        std::lock_guard<std::mutex> lock(gLock);
        if (gRefCount == 0) return;
        if (--gRefCount > 0) return;
        gWorker->Terminate();
        gWorkEvent->SetEvent();
        gInstance = nullptr;
        worker = std::move(gWorker);
        event = std::move(gWorkEvent);
    }
    // Joined outside the lock, so a body that ever takes it cannot deadlock the release.
    worker.reset();
}

TWorkerThread* TWorkerThread::Instance() {
    return gInstance.load(std::memory_order_acquire);
}

int TWorkerThread::ReferenceCount() {
    std::lock_guard<std::mutex> lock(gLock);
    return gRefCount;
}

void TWorkerThread::AddTree(TBaseVirtualTree* tree) {
    Assert(tree != nullptr, "Tree must not be nil.");
    auto& list = FWaiterList.LockList();
    if (std::find(list.begin(), list.end(), tree) == list.end()) list.push_back(tree);
    FWaiterList.UnlockList();
    std::lock_guard<std::mutex> lock(gLock);
    if (this != gWorker.get()) return;
    Start();
    gWorkEvent->SetEvent();
}

void TWorkerThread::RemoveTree(TBaseVirtualTree* tree) {
    Assert(tree != nullptr, "Tree must not be nil.");
    if (FCurrentTree.load() == tree) {
        {
            std::lock_guard<std::mutex> lock(FCurrentLock);
            if (FCurrentTree.load() == tree) FCurrentTree = nullptr;
        }
        FCurrentChanged.notify_all();
    }
    FWaiterList.Remove(tree);
}

bool TWorkerThread::IsWaiting(TBaseVirtualTree* tree) {
    auto& list = FWaiterList.LockList();
    bool found = std::find(list.begin(), list.end(), tree) != list.end();
    FWaiterList.UnlockList();
    return found;
}

void TWorkerThread::WaitWhileValidating(TBaseVirtualTree* tree) {
    std::unique_lock<std::mutex> lock(FCurrentLock);
    FCurrentChanged.wait(lock, [&] { return FCurrentTree.load() != tree; });
}

void TWorkerThread::ChangeTreeStates(uint64_t enterStates, uint64_t leaveStates) {
    // Only a tree being validated hears about it (and the body never validates one).
    std::lock_guard<std::mutex> lock(FCurrentLock);
    TBaseVirtualTree* tree = FCurrentTree.load();
    if (tree && tree->HandleAllocated())
        PostMessage(tree->Handle(), WM_CHANGESTATE, WPARAM(enterStates), LPARAM(leaveStates));
}

} // namespace epc
