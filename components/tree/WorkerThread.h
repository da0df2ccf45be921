#pragma once
// The worker thread all trees of the process share. Trees register with it while they live and
// hand it trees whose position cache should be rebuilt; its body ends at once, so no background
// work is ever done and trees always walk their visible nodes instead of using a cache.

#include <memory>
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
    static void ReleaseThreadReference(TBaseVirtualTree* Tree);
    // The shared worker, nil while no tree exists.
    static TWorkerThread* Instance();
    static int ReferenceCount();

    void AddTree(TBaseVirtualTree* Tree);
    void RemoveTree(TBaseVirtualTree* Tree);
    bool IsWaiting(TBaseVirtualTree* Tree);
    // The tree being validated (always nil: the body does no work).
    TBaseVirtualTree* CurrentTree() const { return FCurrentTree; }
    // Tells the tree being validated about state changes (private message 0x8020).
    void ChangeTreeStates(uint64_t EnterStates, uint64_t LeaveStates);

protected:
    void Execute() override {}

private:
    TBaseVirtualTree* FCurrentTree = nullptr;
    TThreadList<TBaseVirtualTree*> FWaiterList;
};

// Private message a tree receives with state changes from the worker.
constexpr unsigned WM_CHANGESTATE = 0x8000 + 32;

} // namespace epc
