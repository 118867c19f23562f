#include "docs/BusyState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(BusyState, TryEnterRefusesWhileBusyAndEnterWaits) {
    BusyState busy;
    ASSERT_TRUE(busy.tryEnter(BusyState::LookingUp));
    EXPECT_FALSE(busy.tryEnter(BusyState::Opening));
    std::atomic<bool> saved{false};
    std::thread saver([&] {
        busy.enter(BusyState::Saving);
        saved = true;
        busy.leave();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(saved);
    busy.leave();
    saver.join();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(busy.isIdle());
}
