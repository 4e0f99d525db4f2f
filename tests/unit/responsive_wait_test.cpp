#include "repair/responsive_wait.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;

// One wait: the clock at entry, the requested pause and how the world behaves meanwhile; then
// what the caller sees (the result and the time that passed) and what the thread did (the
// sleeps it asked the pump for and the times it handled events).
struct WaitRow {
    const char* name;
    uint32_t start;
    int16_t ms;
    uint32_t eventEveryMs;       // 0: no event arrives
    uint32_t msPerClockReading;  // time that passes between two readings
    uint32_t handlerMs;          // how long each nested handler runs
    int quitAtDispatch;          // 0: no quit request
    bool returns;
    uint32_t elapsed;              // checked when the clock moves only by sleeping and handlers
    std::vector<uint32_t> sleeps;  // each sleep's time-out
    int dispatches;
};

TEST(ResponsiveWait, ReturnsOnTimeSleepingTheRemainderAndHandlingEventsMeanwhile) {
    const WaitRow rows[] = {
        {"zero waits for nothing", 0, 0, 0, 0, 0, 0, true, 0, {}, 0},
        {"negative waits for nothing", 7, -1, 0, 0, 0, 0, true, 0, {}, 0},
        {"most negative waits for nothing", 7, -32768, 0, 0, 0, 0, true, 0, {}, 0},
        {"time up between the first two readings", 0, 1, 0, 1, 0, 0, true, 0, {}, 0},
        {"one millisecond", 0, 1, 0, 0, 0, 0, true, 1, {1}, 1},
        {"the longest pause", 0, 32767, 0, 0, 0, 0, true, 32767, {32767}, 1},
        {"events every 700 ms", 5000, 2000, 700, 0, 0, 0, true, 2000, {2000, 1300, 600}, 3},
        {"across the clock's wrap",
         0xFFFFFF00u,
         2000,
         500,
         0,
         0,
         0,
         true,
         2000,
         {2000, 1500, 1000, 500},
         4},
        {"near 2^31 ms", 0x7FFFFF00u, 2000, 500, 0, 0, 0, true, 2000, {2000, 1500, 1000, 500}, 4},
        {"a handler that outlasts the pause", 0, 2000, 10, 0, 5000, 0, true, 5010, {2000}, 1},
        {"a handler that ends exactly at the deadline",
         0,
         2000,
         10,
         0,
         1990,
         0,
         true,
         2000,
         {2000},
         1},
        {"a quit request", 0, 2000, 100, 0, 0, 3, false, 300, {2000, 1900, 1800}, 3},
    };
    for (const WaitRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        clock.now = row.start;
        clock.stepPerReading = row.msPerClockReading;
        FakeEventPump pump{clock};
        pump.eventEveryMs = row.eventEveryMs;
        pump.onDispatch = [&](int dispatch) {
            clock.now += row.handlerMs;
            return dispatch != row.quitAtDispatch;
        };

        EXPECT_EQ(ResponsiveWait(clock, pump).WaitMs(row.ms), row.returns);
        if (row.msPerClockReading == 0) {
            EXPECT_EQ(clock.now - row.start, row.elapsed);
        }
        EXPECT_EQ(pump.timeouts, row.sleeps);
        EXPECT_EQ(pump.dispatches, row.dispatches);
    }
}

}  // namespace
}  // namespace varnel
