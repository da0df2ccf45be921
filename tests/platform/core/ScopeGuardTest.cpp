#include "platform/core/ScopeGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace epc;

TEST(ScopeGuard, RunsOnNormalExitAndWhenAnExceptionLeaves) {
    int ran = 0;
    { auto guard = Finally([&] { ++ran; }); }
    EXPECT_EQ(ran, 1);
    EXPECT_THROW(
        {
            auto guard = Finally([&] { ++ran; });
            throw std::runtime_error("x");
        },
        std::runtime_error);
    EXPECT_EQ(ran, 2);
}

TEST(ScopeGuard, DismissedGuardDoesNothing) {
    int ran = 0;
    {
        auto guard = Finally([&] { ++ran; });
        guard.Dismiss();
    }
    EXPECT_EQ(ran, 0);
}
