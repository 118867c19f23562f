#include "text/FuzzyMatch.h"

#include "support/Utf16Text.h"
#include "text/Unistr.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Pair {
    const char16_t* a;
    const char16_t* b;
    int expected;
};

} // namespace

TEST(FuzzyCompare, WorkedValues) {
    for (const Pair& row : {
             Pair{u"abc", u"abc", 100},
             Pair{u"axb", u"ayb", 66},
             Pair{u"a", u"a", 100},
             Pair{u"a", u"ab", 66},
             Pair{u"ab", u"ba", 50},
             Pair{u"abc", u"xyz", 0},
             Pair{u"a", u"b", 0},
             Pair{u"ABC", u"abc", 0},
             Pair{u"Abbey Road", u"Abbey Road", 100},
             Pair{u"Björk", u"Björk", 100},
         }) {
        EXPECT_EQ(FuzzyCompare(q(row.a), q(row.b)), row.expected)
            << QString::fromUtf16(row.a).toStdString() << " / "
            << QString::fromUtf16(row.b).toStdString();
    }
}

TEST(FuzzyCompare, ArgumentOrderMatters) {
    EXPECT_EQ(FuzzyCompare(u"cabcc"_s, u"ccaab"_s), 60);
    EXPECT_EQ(FuzzyCompare(u"ccaab"_s, u"cabcc"_s), 40);
}

TEST(FuzzyCompare, EmptyOrNullGivesZero) {
    EXPECT_EQ(FuzzyCompare(QString(), QString()), 0);
    EXPECT_EQ(FuzzyCompare(u""_s, u""_s), 0);
    EXPECT_EQ(FuzzyCompare(QString(), u"abc"_s), 0);
    EXPECT_EQ(FuzzyCompare(u"abc"_s, u""_s), 0);
}

TEST(FuzzyCompare, EmbeddedZeroEndsRuns) {
    const QString withZero(QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"));
    // "ab" and "cd" still match separately; the zero itself pairs with the
    // other zero as a run of one.
    EXPECT_EQ(FuzzyCompare(withZero, withZero), 100);
    EXPECT_EQ(FuzzyCompare(withZero, u"abxcd"_s), 80);
}

TEST(FuzzyCompare, StaysWithinRangeOnRepetitiveText) {
    // Runs measured past the range ends can count units twice; the score
    // must still read as a percentage.
    const QString samples[] = {u"aaaa"_s, u"aab"_s,   u"abab"_s,  u"baaa"_s, u"aaab"_s,
                               u"abba"_s, u"ccaab"_s, u"cabcc"_s, u"a"_s,    u"aa"_s};
    for (const QString& a : samples)
        for (const QString& b : samples) {
            const int score = FuzzyCompare(a, b);
            EXPECT_GE(score, 0);
            EXPECT_LE(score, 100) << a.toStdString() << " / " << b.toStdString();
        }
}

TEST(FuzzyCompare, OvercountedUnitsAreCapped) {
    const QString a = u"cabbaa"_s;
    const QString b = u"aabbbaa"_s;
    EXPECT_GT(GCsubstr(unicodeString(a), unicodeString(a) + a.size(), unicodeString(b),
                       unicodeString(b) + b.size()),
              a.size());
    EXPECT_EQ(FuzzyCompare(a, b), 6 * 200 / 13);
}

TEST(GCsubstr, SubrangesMeasureRunsToTheTerminator) {
    const QString a = u"xabcd"_s;
    const QString b = u"abcd"_s;
    const char16_t* ua = unicodeString(a);
    const char16_t* ub = unicodeString(b);
    EXPECT_EQ(GCsubstr(ua, ua + 5, ub, ub + 4), 4);
    // The run starting in range still counts its units beyond e1.
    EXPECT_EQ(GCsubstr(ua + 1, ua + 3, ub, ub + 4), 4);
    EXPECT_EQ(GCsubstr(ua, ua, ub, ub + 4), 0);
    EXPECT_EQ(GCsubstr(ua + 1, ua + 2, ub, ub + 1), 0); // one unit each adds nothing
}

TEST(IsNumeric, TrailingNumberWithSpaces) {
    struct Row {
        const char16_t* text;
        bool numeric;
    };
    for (const Row& row :
         {Row{u"Track 12", true}, Row{u" 7 ", true}, Row{u"Disc 2", true}, Row{u"42", true},
          Row{u"12a", false}, Row{u"2nd", false}, Row{u"", false}, Row{u"Track 1\t", false},
          Row{u"Track 12 \n", true}, Row{u"12\n\n", false}, Row{u"\u0661\u0662", false}}) {
        EXPECT_EQ(IsNumeric(q(row.text)), row.numeric) << q(row.text).toStdString();
    }
}
