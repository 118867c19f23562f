#include "system/SaveSteps.h"
#include "system/WorkSharing.h"

#include "support/ForkedSave.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

// Shares out `outer` pieces, each sharing out `inner` more from inside its
// work; true when every inner piece ran exactly once.
bool everyPieceRanOnce(size_t outer, size_t inner) {
    std::vector<std::atomic<int>> runs(outer * inner);
    WorkSharing::forEachIndex(outer, [&](size_t i) {
        WorkSharing::forEachIndex(inner, [&](size_t j) { ++runs[i * inner + j]; });
    });
    for (const std::atomic<int>& r : runs)
        if (r.load() != 1) return false;
    return true;
}

} // namespace

// The helpers are kept between calls: a call from inside another's work,
// when every helper is busy, must neither wait for one nor lose a piece.
TEST(WorkSharing, NestedCallsRunEveryPieceOnce) {
    for (const auto& [outer, inner] : {std::pair<size_t, size_t>{1, 1},
                                       {2, 1000},
                                       {64, 3},
                                       {500, 2}})
        EXPECT_TRUE(everyPieceRanOnce(outer, inner)) << outer << " x " << inner;
}

// A forked child (a save killed at a step) has none of its parent's helpers.
TEST(WorkSharing, AForkedChildSharesWorkToo) {
    ASSERT_TRUE(everyPieceRanOnce(4, 100)); // the parent has its helpers
    EXPECT_TRUE(diesBeforeStep(
        [] {
            if (everyPieceRanOnce(4, 100)) SaveSteps::step("shared");
        },
        0));
}
