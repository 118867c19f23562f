#include "web/NSRegex.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
constexpr int kBoth = NSRegex::kNSRegex_Extended | NSRegex::kNSRegex_SuccessOnly;
}

TEST(NSRegex, SuccessOnlyMatch) {
    auto re = NSRegex::regex(u"[ ]*[0-9]+[ ]*$"_s, kBoth);
    ASSERT_TRUE(re->isValid());
    EXPECT_TRUE(re->match(u" 12 "_s));
    EXPECT_TRUE(re->match(u"Abbey Road 3"_s));
    EXPECT_FALSE(re->match(u"12a"_s));
    // REG_NOTEOL: "$" no longer matches at the end of the text.
    EXPECT_FALSE(re->match(u"12"_s, REG_NOTEOL));
}

TEST(NSRegex, BadPatternNeverMatches) {
    NSRegex re(u"([0-9"_s, kBoth);
    EXPECT_FALSE(re.isValid());
    EXPECT_FALSE(re.match(u"123"_s));
    EXPECT_FALSE(re.matches(u"123"_s, 1).has_value());
}

TEST(NSRegex, GroupsSkipEmptyAndMissing) {
    NSRegex re(u"([a-z]+)(-)?([0-9]*) ([a-z]+)"_s, NSRegex::kNSRegex_Extended);
    auto groups = re.matches(u"12 34"_s, 4);
    EXPECT_FALSE(groups.has_value()); // no match

    groups = re.matches(u"ab cd"_s, 4);
    ASSERT_TRUE(groups.has_value());
    // Group 2 took no part and group 3 matched nothing: both are skipped.
    EXPECT_EQ(*groups, (QStringList{u"ab"_s, u"cd"_s}));

    groups = re.matches(u"track1 x abc def"_s, 4);
    ASSERT_TRUE(groups.has_value());
    EXPECT_EQ(*groups, (QStringList{u"track"_s, u"1"_s, u"x"_s}));

    groups = re.matches(u"ab-12 cd"_s, 2);
    ASSERT_TRUE(groups.has_value());
    EXPECT_EQ(*groups, (QStringList{u"ab"_s, u"-"_s}));

    groups = re.matches(u"ab-12 cd"_s, 0);
    ASSERT_TRUE(groups.has_value());
    EXPECT_TRUE(groups->isEmpty());
}

TEST(NSRegex, GroupsOfNonAsciiText) {
    NSRegex re(u"^(.*) - (.*)$"_s, NSRegex::kNSRegex_Extended);
    const auto groups = re.matches(u"Björk - Jóga ♪"_s, 2);
    ASSERT_TRUE(groups.has_value());
    EXPECT_EQ(*groups, (QStringList{u"Björk"_s, u"Jóga ♪"_s}));
}
