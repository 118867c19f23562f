#include "media/SavePlan.h"
#include "support/RandomBytes.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(SavePlan, ChangedBytesAreSplitAroundLongUnchangedRuns) {
    // A cover between two changed tags is neither journaled nor written;
    // short agreeing stretches stay inside one region.
    QRandomGenerator random(5);
    const QByteArray cover = randomBytes(random, 100000), gap = randomBytes(random, 1000);
    using Spans = std::vector<std::pair<qsizetype, qsizetype>>; // offset, length
    const struct {
        const char* name;
        QByteArray old, now;
        Spans spans;
    } cases[] = {
        {"same", "title" + cover, "title" + cover, {}},
        {"cover kept between",
         "title" + cover + "artist",
         "TITLE" + cover + "ARTIST",
         {{0, 5}, {100005, 6}}},
        {"short gap joins", "title" + gap + "artist", "TITLE" + gap + "ARTIST", {{0, 1011}}},
        {"moved cover", "t" + cover, "tt" + cover.left(cover.size() - 1), {{1, cover.size()}}},
        {"longer than the old file",
         "title" + cover,
         "TITLE" + cover + "more",
         {{0, 5}, {100005, 4}}},
        {"growth right after a change", "title", "TITLE and more", {{0, 14}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SavePlan plan;
        plan.addChangedBytes(1000, c.old, c.now);
        Spans spans;
        QByteArray written = c.old;
        for (const SaveRegion& r : plan.regions) {
            const qsizetype at = qsizetype(r.offset) - 1000;
            spans.emplace_back(at, r.bytes.size());
            EXPECT_EQ(r.old, c.old.mid(at, r.bytes.size()));
            if (written.size() < at + r.bytes.size()) written.resize(at + r.bytes.size());
            written.replace(at, r.bytes.size(), r.bytes);
        }
        EXPECT_EQ(spans, c.spans);
        EXPECT_EQ(written, c.now);
    }
}
