#include "repair/responsive_wait.h"

#include <gtest/gtest.h>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;

struct ResponsiveWaitTest : ::testing::Test {
    FakeClock clock;
    FakeEventPump pump{clock};
    ResponsiveWait wait{clock, pump};
};

TEST_F(ResponsiveWaitTest, ZeroOrNegativeReturnsAfterTwoReadingsWithoutDispatching) {
    for (int16_t ms : {int16_t{0}, int16_t{-1}, int16_t{-32768}}) {
        clock.readings = 0;
        EXPECT_TRUE(wait.WaitMs(ms));
        EXPECT_EQ(clock.readings, 2);
    }
    EXPECT_TRUE(pump.timeouts.empty());
    EXPECT_EQ(pump.dispatches, 0);
}

TEST_F(ResponsiveWaitTest, ADeadlineReachedBetweenTheFirstTwoReadingsDispatchesNothing) {
    clock.stepPerReading = 1;
    EXPECT_TRUE(wait.WaitMs(1));
    EXPECT_EQ(clock.readings, 2);
    EXPECT_EQ(pump.dispatches, 0);
}

TEST_F(ResponsiveWaitTest, OneMillisecondSleepsOnceDispatchesOnceAndReturns) {
    EXPECT_TRUE(wait.WaitMs(1));
    EXPECT_EQ(pump.timeouts, std::vector<uint32_t>{1});
    EXPECT_EQ(pump.dispatches, 1);
    EXPECT_EQ(clock.now, 1u);
}

TEST_F(ResponsiveWaitTest, SleepsForTheRemainingTimeAndHandlesEventsUntilTheDeadline) {
    clock.now = 5000;
    pump.eventEveryMs = 700;
    std::vector<uint32_t> clockAtDispatch;
    pump.onDispatch = [&](int) {
        clockAtDispatch.push_back(clock.now);
        return true;
    };
    EXPECT_TRUE(wait.WaitMs(2000));
    EXPECT_EQ(pump.timeouts, (std::vector<uint32_t>{2000, 1300, 600}));
    EXPECT_EQ(clockAtDispatch, (std::vector<uint32_t>{5700, 6400, 7000}));
}

TEST_F(ResponsiveWaitTest, EndsOnTimeAcrossTheClockWrapAndNearTwoToThe31) {
    for (uint32_t start : {0xFFFFFF00u, 0x7FFFFF00u}) {
        clock.now = start;
        pump.eventEveryMs = 500;
        pump.timeouts.clear();
        EXPECT_TRUE(wait.WaitMs(2000));
        EXPECT_EQ(pump.timeouts, (std::vector<uint32_t>{2000, 1500, 1000, 500}));
        EXPECT_EQ(clock.now, start + 2000u);
    }
}

TEST_F(ResponsiveWaitTest, ALongNestedHandlerEndsTheWaitAtTheNextTestWithoutAnotherDispatch) {
    pump.eventEveryMs = 10;
    pump.onDispatch = [&](int) {
        clock.now += 5000;  // a message box answered after 5 s
        return true;
    };
    EXPECT_TRUE(wait.WaitMs(2000));
    EXPECT_EQ(pump.dispatches, 1);
    EXPECT_EQ(pump.timeouts.size(), 1u);
}

TEST_F(ResponsiveWaitTest, AQuitRequestEndsTheWaitEarly) {
    pump.eventEveryMs = 100;
    pump.onDispatch = [](int dispatch) { return dispatch < 3; };
    EXPECT_FALSE(wait.WaitMs(2000));
    EXPECT_EQ(pump.dispatches, 3);
    EXPECT_EQ(clock.now, 300u);
}

}  // namespace
}  // namespace varnel
