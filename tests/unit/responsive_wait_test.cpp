#include "repair/responsive_wait.h"

#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_repair.h"

namespace varnel {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;

// One wait: the clock at entry, the pause and how the world behaves meanwhile; then the result,
// the time that passed (when the clock moves only by sleeping and handlers) and each sleep's
// time-out, each sleep being followed by the handling of events.
TEST(ResponsiveWait, ReturnsOnTimeSleepingTheRemainderAndHandlingEventsMeanwhile) {
    const struct {
        const char* name;
        uint32_t start;
        int16_t ms;
        uint32_t eventEveryMs, msPerReading, handlerMs;
        size_t quitAtDispatch;
        bool returns;
        uint32_t elapsed;
        std::vector<uint32_t> sleeps;
    } rows[] = {
        {"zero", 0, 0, 0, 0, 0, 0, true, 0, {}},
        {"negative", 7, -1, 0, 0, 0, 0, true, 0, {}},
        {"most negative", 7, -32768, 0, 0, 0, 0, true, 0, {}},
        {"time up between two readings", 0, 1, 0, 1, 0, 0, true, 0, {}},
        {"one millisecond", 0, 1, 0, 0, 0, 0, true, 1, {1}},
        {"the longest pause", 0, 32767, 0, 0, 0, 0, true, 32767, {32767}},
        {"events every 700 ms", 5000, 2000, 700, 0, 0, 0, true, 2000, {2000, 1300, 600}},
        {"the clock's wrap", 0xFFFFFF00u, 2000, 500, 0, 0, 0, true, 2000, {2000, 1500, 1000, 500}},
        {"near 2^31 ms", 0x7FFFFF00u, 2000, 500, 0, 0, 0, true, 2000, {2000, 1500, 1000, 500}},
        {"a handler outlasts the pause", 0, 2000, 10, 0, 5000, 0, true, 5010, {2000}},
        {"a handler ends at the deadline", 0, 2000, 10, 0, 1990, 0, true, 2000, {2000}},
        {"a quit request", 0, 2000, 100, 0, 0, 3, false, 300, {2000, 1900, 1800}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FakeClock clock;
        clock.now = row.start;
        clock.stepPerReading = row.msPerReading;
        FakeEventPump pump{clock};
        pump.eventEveryMs = row.eventEveryMs;
        pump.onDispatch = [&](size_t dispatch) {
            clock.now += row.handlerMs;
            return dispatch != row.quitAtDispatch;
        };
        EXPECT_EQ(ResponsiveWait(clock, pump).WaitMs(row.ms), row.returns);
        if (row.msPerReading == 0) {
            EXPECT_EQ(clock.now - row.start, row.elapsed);
        }
        EXPECT_EQ(pump.timeouts, row.sleeps);
    }
}

}  // namespace
}  // namespace varnel
