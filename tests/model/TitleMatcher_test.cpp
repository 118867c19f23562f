// Title-to-record matching gives what filling the whole score table gives,
// on folders whose titles repeat, tie, differ a little or are empty.

#include "model/TitleMatcher.h"

#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <limits>

#include <gtest/gtest.h>

namespace {

// The whole table, pass after pass, as the matching is defined.
std::vector<qsizetype> assignByTable(const std::vector<TitleMatcher::Record>& records,
                                     const std::vector<TitleMatcher::Title>& titles) {
    const qsizetype t = qsizetype(titles.size()), n = qsizetype(records.size());
    std::vector<std::vector<int>> s(static_cast<size_t>(t),
                                    std::vector<int>(static_cast<size_t>(n)));
    for (qsizetype i = 0; i < t; ++i)
        for (qsizetype j = 0; j < n; ++j)
            s[i][j] = TitleMatcher::score(titles[i], i, records[j]);
    std::vector<qsizetype> assigned(size_t(t), -1);
    auto take = [&](qsizetype i, qsizetype c) {
        assigned[i] = c;
        for (qsizetype k = 0; k < t; ++k)
            s[k][c] = -1;
        for (qsizetype j = 0; j < n; ++j)
            s[i][j] = -1;
    };
    for (qsizetype pass = 0; pass < t; ++pass) {
        for (qsizetype i = 0; i < t; ++i) {
            if (assigned[i] >= 0) continue;
            qsizetype c = -1;
            for (qsizetype j = 0; j < n; ++j)
                if (s[i][j] >= 0 && (c < 0 || s[i][j] > s[i][c])) c = j;
            if (c < 0) continue;
            qsizetype winner = 0;
            for (qsizetype k = 1; k < t; ++k)
                if (s[k][c] > s[winner][c] || (k == i && s[k][c] >= s[winner][c])) winner = k;
            if (winner == i) take(i, c);
        }
    }
    for (qsizetype i = 0; i < t; ++i)
        for (qsizetype j = 0; assigned[i] < 0 && j < n; ++j)
            if (s[i][j] >= 0) take(i, j);
    return assigned;
}

struct Shape {
    const char* name;
    QStringList words; // titles are drawn from these
    int maxTrack;      // 0: no track numbers
    bool timed;        // lengths and durations
    bool tagsInOrder;  // the album's titles are the records' own, by track number
};

} // namespace

TEST(TitleMatcher, GivesWhatTheWholeTableGives) {
    const Shape shapes[] = {
        {"repeated albums read from their tags",
         {"Title 01", "Title 02", "Title 03", "Title 04"},
         4,
         false,
         true},
        {"near titles, shuffled numbers",
         {"Intro", "Intro ", "intro", "Outro", "Interlude", "Into", "Blue", "Blues"},
         14,
         false,
         false},
        {"lengths and durations",
         {"Intro", "Intro (Live)", "Song", "Songs", "Coda"},
         10,
         true,
         false},
        {"empty and one-letter titles", {"", "a", "b", "ab", "A"}, 6, true, false},
        {"timed tags of repeated albums", {"One", "Two", "Three"}, 3, true, true},
    };
    QRandomGenerator random(32);
    for (const Shape& shape : shapes) {
        for (int round = 0; round < 300; ++round) {
            const int n = int(random.bounded(14)), extra = int(random.bounded(-3, 4));
            std::vector<TitleMatcher::Record> records;
            for (int j = 0; j < n; ++j) {
                TitleMatcher::Record r;
                r.title = shape.words[random.bounded(int(shape.words.size()))];
                r.trackNum = shape.maxTrack ? uint32_t(random.bounded(shape.maxTrack + 1)) : 0;
                if (shape.timed && random.bounded(4) != 0)
                    r.durationSecs = uint32_t(random.bounded(55, 75));
                records.push_back(r);
            }
            std::vector<TitleMatcher::Title> titles;
            if (shape.tagsInOrder) {
                std::vector<TitleMatcher::Record> byTrack = records;
                std::stable_sort(byTrack.begin(), byTrack.end(), [](const auto& a, const auto& b) {
                    return a.trackNum < b.trackNum;
                });
                for (const TitleMatcher::Record& r : byTrack)
                    titles.push_back({r.title, std::nullopt});
            }
            for (int i = int(titles.size()); i < std::max(0, n + extra); ++i) {
                TitleMatcher::Title title{shape.words[random.bounded(int(shape.words.size()))], {}};
                if (shape.timed && random.bounded(3) != 0)
                    title.lengthMs = int(random.bounded(50000, 80000));
                titles.push_back(title);
            }
            ASSERT_EQ(TitleMatcher::assign(records, titles), assignByTable(records, titles))
                << shape.name << ", round " << round;
        }
    }
}

// A length from the web may be anything; the score stays in range.
TEST(TitleMatcher, AbsurdLengthsScoreAsFarOff) {
    const TitleMatcher::Record record{QStringLiteral("Song"), 1, 4000000000u};
    for (const int length : {std::numeric_limits<int>::max(), std::numeric_limits<int>::min(), -1})
        EXPECT_EQ(TitleMatcher::score({QStringLiteral("Song"), length}, 0, record), 100) << length;
}
