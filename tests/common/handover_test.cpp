#include "common/handover.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace preisliste {
namespace {

TEST(Handover, ItemsArriveInOrderThroughASmallBound)
{
    Handover<int> handover(3);
    std::thread producer([&] {
        for (int i = 0; i < 20000; ++i)
            ASSERT_TRUE(handover.Put(i));
        handover.Finish();
    });
    std::vector<int> taken;
    while (const std::optional<int> item = handover.Take())
        taken.push_back(*item);
    producer.join();
    ASSERT_EQ(taken.size(), 20000u);
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(taken[size_t(i)], i);
}

TEST(Handover, WhatIsPutBeforeTheFinishIsStillTaken)
{
    Handover<int> handover(4);
    ASSERT_TRUE(handover.Put(1));
    ASSERT_TRUE(handover.Put(2));
    handover.Finish();
    EXPECT_EQ(handover.Take(), 1);
    EXPECT_EQ(handover.Take(), 2);
    EXPECT_EQ(handover.Take(), std::nullopt);
    EXPECT_EQ(handover.Take(), std::nullopt);
}

// A consumer that gives up must free a producer waiting for room; the test
// hangs if it does not.
TEST(Handover, AbandoningReleasesAWaitingProducer)
{
    Handover<int> handover(1);
    std::thread producer([&] {
        ASSERT_TRUE(handover.Put(1));
        handover.Put(2); // waits for room until the consumer gives up
    });
    EXPECT_EQ(handover.Take(), 1);
    handover.Abandon();
    producer.join();
    // The second item either got in before the abandoning and was dropped
    // with it, or was refused; nothing is taken after it.
    EXPECT_EQ(handover.Take(), std::nullopt);
    EXPECT_FALSE(handover.Put(3));
}

} // namespace
} // namespace preisliste
