#include "text/StringUtils.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(StringUtils, RemovingCharacters) {
    EXPECT_EQ(stringWithString(u"a/b:c/d"_s, u"/:"_s), u"abcd"_s);
    EXPECT_EQ(stringWithString(u"abc"_s, u"xyz"_s), u"abc"_s);
    EXPECT_EQ(stringWithString(u"///"_s, u"/"_s), u""_s);
    EXPECT_EQ(stringWithString(u"Björk"_s, u"ö"_s), u"Bjrk"_s);
    EXPECT_TRUE(stringWithString(QString(), u"a"_s).isNull());
    // A character outside the 16-bit range is removed whole, and does not
    // take other characters sharing its high surrogate with it.
    EXPECT_EQ(stringWithString(u"a\U0001F3B5b\U0001F3B6"_s, u"\U0001F3B5"_s),
              u"ab\U0001F3B6"_s);
}

TEST(StringUtils, JoinFromIndex) {
    const QStringList abc{u"a"_s, u"b"_s, u"c"_s};
    EXPECT_EQ(joinSeparatedStrings(abc, u"-"_s, 0), u"a-b-c"_s);
    EXPECT_EQ(joinSeparatedStrings(abc, u"-"_s, 1), u"b-c"_s);
    EXPECT_EQ(joinSeparatedStrings(abc, u" - "_s, 2), u"c"_s);
    EXPECT_TRUE(joinSeparatedStrings(abc, u"-"_s, 3).isNull());
    EXPECT_TRUE(joinSeparatedStrings(abc, u"-"_s, -1).isNull());
    EXPECT_TRUE(joinSeparatedStrings({}, u"-"_s, 0).isNull());
}
