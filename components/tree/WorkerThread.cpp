#include "components/tree/WorkerThread.h"

#include <algorithm>

#include "components/tree/BaseVirtualTree.h"

namespace epc {

namespace {
std::unique_ptr<TWorkerThread> gWorker;
std::unique_ptr<TEvent> gWorkEvent; // auto-reset, signalled when work is queued
int gRefCount = 0;
} // namespace

// Made suspended and started once fully constructed, so the body never runs on a partly built
// object.
TWorkerThread::TWorkerThread() : TThread(true) {}

TWorkerThread::~TWorkerThread() {
    TerminateAndWait();
}

void TWorkerThread::AddThreadReference() {
    if (gRefCount == 0) {
        gWorkEvent = std::make_unique<TEvent>(false, false);
        gWorker = std::make_unique<TWorkerThread>();
        gWorker->Start();
    }
    ++gRefCount;
}

void TWorkerThread::ReleaseThreadReference(TBaseVirtualTree* Tree) {
    if (gRefCount == 0) return;
    --gRefCount;
    if (Tree) Tree->InterruptValidation();
    if (gRefCount == 0) {
        gWorker->Terminate();
        gWorkEvent->SetEvent();
        gWorker.reset();
        gWorkEvent.reset();
    }
}

TWorkerThread* TWorkerThread::Instance() {
    return gWorker.get();
}
int TWorkerThread::ReferenceCount() {
    return gRefCount;
}

void TWorkerThread::AddTree(TBaseVirtualTree* Tree) {
    Assert(Tree != nullptr, "Tree must not be nil.");
    auto& list = FWaiterList.LockList();
    if (std::find(list.begin(), list.end(), Tree) == list.end()) list.push_back(Tree);
    FWaiterList.UnlockList();
    if (gWorkEvent) gWorkEvent->SetEvent();
}

void TWorkerThread::RemoveTree(TBaseVirtualTree* Tree) {
    Assert(Tree != nullptr, "Tree must not be nil.");
    if (Tree == FCurrentTree) FCurrentTree = nullptr;
    FWaiterList.Remove(Tree);
}

bool TWorkerThread::IsWaiting(TBaseVirtualTree* Tree) {
    auto& list = FWaiterList.LockList();
    bool found = std::find(list.begin(), list.end(), Tree) != list.end();
    FWaiterList.UnlockList();
    return found;
}

void TWorkerThread::ChangeTreeStates(uint64_t EnterStates, uint64_t LeaveStates) {
    // Only a tree being validated hears about it, and the body never validates one.
    if (FCurrentTree && FCurrentTree->HandleAllocated()) {
        (void)EnterStates;
        (void)LeaveStates;
    }
}

} // namespace epc
