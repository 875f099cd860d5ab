#include "common/workerthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

namespace preisliste {
namespace {

// Out of memory on a helper thread must reach the run's own handling, not
// end the program; the end step runs either way, so no one waits forever.
TEST(WorkerThread, AFailureOfTheWorkIsRaisedByJoinAfterTheEndStep)
{
    std::atomic<bool> ended = false;
    WorkerThread worker([] { throw std::bad_alloc(); }, [&] { ended = true; });
    EXPECT_THROW(worker.Join(), std::bad_alloc);
    EXPECT_TRUE(ended);
    EXPECT_NO_THROW(worker.Join()); // raised once
}

TEST(WorkerThread, WorkThatReturnsJoinsQuietly)
{
    int steps = 0;
    {
        WorkerThread worker([&] { ++steps; }, [&] { ++steps; });
        EXPECT_NO_THROW(worker.Join());
    }
    EXPECT_EQ(steps, 2);
    // Left without Join(), the worker still waits for its work, and keeps
    // its failure to itself.
    std::atomic<bool> ended = false;
    {
        WorkerThread unjoined([] { throw std::bad_alloc(); }, [&] { ended = true; });
    }
    EXPECT_TRUE(ended);
}

} // namespace
} // namespace preisliste
