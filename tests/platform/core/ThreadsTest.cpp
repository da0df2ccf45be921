#include "platform/core/Threads.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/core/Exceptions.h"

using namespace epc;

namespace {
class Counter : public TThread {
public:
    explicit Counter(TEvent* go) : TThread(true), FGo(go) {}
    ~Counter() override { TerminateAndWait(); }
    std::atomic<int> runs{0};

protected:
    void Execute() override {
        while (!Terminated()) {
            if (FGo->WaitFor(5) == TWaitResult::wrSignaled) ++runs;
        }
        ReturnValue = 7;
    }

private:
    TEvent* FGo;
};
}  // namespace

TEST(TThread, RunsUntilTerminatedAndReturnsItsValue) {
    TEvent go(false, false);
    Counter t(&go);
    EXPECT_FALSE(t.Started());
    t.Start();
    go.SetEvent();
    while (t.runs.load() == 0) std::this_thread::yield();
    t.Terminate();
    EXPECT_EQ(t.WaitFor(), 7);
    EXPECT_TRUE(t.Finished());
}

TEST(TThread, RefusesToStartFromItsConstructor) {
    struct Eager : TThread {
        Eager() : TThread(false) {}
        void Execute() override {}
    };
    EXPECT_THROW(Eager(), EInvalidOperation);
}

TEST(TEvent, AutoResetReleasesOneWaitAndTimesOut) {
    TEvent e(false, true);
    EXPECT_EQ(e.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(e.WaitFor(1), TWaitResult::wrTimeout);
    TEvent manual(true, false);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(TThreadList, AddsAndRemovesUnderTheLock) {
    TThreadList<int> list;
    list.Add(1);
    list.Add(2);
    list.Remove(1);
    auto& items = list.LockList();
    EXPECT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], 2);
    list.UnlockList();
}
