#pragma once
// The worker all trees of the process share. Trees register with it while they live and hand it
// trees whose position cache should be rebuilt. Its body ends at once, so no background work is
// ever done and trees always walk their visible nodes instead of using a cache; for the same
// reason no operating-system thread is started until a tree is queued.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/core/Threads.h"

namespace epc {

class TBaseVirtualTree;

class TWorkerThread : public TThread {
public:
    TWorkerThread();
    ~TWorkerThread() override;
    std::string ClassName() const override { return "TWorkerThread"; }

    // Tree constructor: the first reference creates the event and the worker.
    static void AddThreadReference();
    // Tree destructor: the last release terminates and frees the worker.
    static void ReleaseThreadReference(TBaseVirtualTree* tree);
    // The shared worker, nil while no tree exists.
    static TWorkerThread* Instance();
    static int ReferenceCount();

    // Queues the tree and wakes the worker, starting its thread on the first call.
    void AddTree(TBaseVirtualTree* tree);
    void RemoveTree(TBaseVirtualTree* tree);
    bool IsWaiting(TBaseVirtualTree* tree);
    // The tree being validated (always nil: the body does no work).
    TBaseVirtualTree* CurrentTree() const { return FCurrentTree.load(); }
    // Returns once the worker no longer validates the tree.
    void WaitWhileValidating(TBaseVirtualTree* tree);
    // Tells the tree being validated about state changes (private message 0x8020).
    void ChangeTreeStates(uint64_t enterStates, uint64_t leaveStates);

protected:
    void Execute() override {}

private:
    // Written by the worker, read by the trees' threads; FCurrentLock pairs with the wait.
    std::atomic<TBaseVirtualTree*> FCurrentTree{nullptr};
    std::mutex FCurrentLock;
    std::condition_variable FCurrentChanged;
    TThreadList<TBaseVirtualTree*> FWaiterList;
};

// Private message a tree receives with state changes from the worker.
constexpr unsigned WM_CHANGESTATE = 0x8000 + 32;

} // namespace epc
