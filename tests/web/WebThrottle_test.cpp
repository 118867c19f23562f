#include "web/WebThrottle.h"
#include "web/sources/allmusic/AllMusicGuide.h"
#include "web/sources/googlemusic/GoogleMusic.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(WebThrottleTest, InitCreatesTheDeclaredSiteThrottlesOnce) {
    InitWebThrottles();
    struct Row {
        WebThrottle* throttle;
        const char* name;
        double delay;
    } rows[] = {{AllMusicGuide::throttle().get(), "AMG", 2.5},
                {GoogleMusic::throttle().get(), "Google", 2.5},
                {gImageThrottle, "Images", 2.5}};
    for (const Row& row : rows) {
        ASSERT_NE(row.throttle, nullptr) << row.name;
        EXPECT_EQ(row.throttle->name(), QString::fromLatin1(row.name));
        EXPECT_DOUBLE_EQ(row.throttle->delaySeconds(), row.delay);
    }
    WebThrottle* first = AllMusicGuide::throttle().get();
    InitWebThrottles();
    EXPECT_EQ(AllMusicGuide::throttle().get(), first);
}

// Holders from several threads run one at a time, and each starts no earlier
// than the delay after its predecessor let go.
TEST(WebThrottleTest, HoldersQueueAndKeepThePaceFromReleaseToNextStart) {
    WebThrottle throttle(QStringLiteral("Test"), 0.2);
    std::mutex m;
    std::vector<std::pair<Clock::time_point, Clock::time_point>> holds; // start, end
    int inside = 0;
    int maxInside = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&] {
            throttle.lock();
            const auto start = Clock::now();
            {
                std::lock_guard<std::mutex> g(m);
                maxInside = std::max(maxInside, ++inside);
            }
            std::this_thread::sleep_for(50ms);
            const auto end = Clock::now();
            {
                std::lock_guard<std::mutex> g(m);
                --inside;
                holds.emplace_back(start, end);
            }
            throttle.unlock();
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(maxInside, 1);
    ASSERT_EQ(holds.size(), 3u);
    for (size_t i = 1; i < holds.size(); ++i)
        EXPECT_GE(holds[i].first - holds[i - 1].second, 199ms);
}

} // namespace
