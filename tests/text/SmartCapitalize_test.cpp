#include "text/SmartCapitalize.h"

#include "support/Utf16Text.h"
#include "system/Resources.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Row {
    const char16_t* in;
    const char16_t* out;
};

// Installs a word list for one test and puts the shipped one back after it.
class SmartCapitalizeTest : public ::testing::Test {
protected:
    void SetUp() override { setSmartCapExclusionListForTesting({u"of"_s, u"The"_s, u"for"_s}); }
    void TearDown() override {
        setSmartCapExclusionListForTesting(readSmartCapExclusionList(
            resourcePath(u"SmartCapExclusionList.txt"_s)));
    }
    static void expectRows(std::initializer_list<Row> rows) {
        for (const Row& row : rows)
            EXPECT_EQ(SmartCapitalize(q(row.in)), q(row.out)) << q(row.in).toStdString();
    }
};

} // namespace

TEST_F(SmartCapitalizeTest, ExcludedWordsStayLowerInTheMiddle) {
    expectRows({
        {u"return of the king", u"Return of the King"},
        {u"THE DARK SIDE OF THE MOON", u"The Dark Side of the Moon"},
        {u"what it is for", u"What It Is For"},
        {u"what it is for ", u"What It Is for "},
        {u"live at the apollo (the early years)", u"Live At the Apollo (The Early Years)"},
        {u"the", u"The"},
        {u"out of, in", u"Out Of, In"}, // attached punctuation makes another token
    });
}

TEST_F(SmartCapitalizeTest, BracketsStartAPhrase) {
    expectRows({
        {u"(live) version", u"(live) Version"},
        {u"songs (live at home)", u"Songs (Live At Home)"},
        {u"songs [of the year] now", u"Songs [Of the Year] Now"},
    });
}

TEST_F(SmartCapitalizeTest, InnerCapitalsFollowTheWholeText) {
    expectRows({
        {u"the BEATLES", u"The BEATLES"},
        {u"THE BEATLES", u"The Beatles"},
        {u"AC/DC", u"Ac/dc"},
        {u"paul mcCartney", u"Paul McCartney"},
        {u"rock-and-roll music", u"Rock-and-roll Music"},
    });
}

TEST_F(SmartCapitalizeTest, WhiteSpaceAndNonAsciiUnits) {
    expectRows({
        {u" hello world", u" hello World"},
        {u"hello\tworld", u"Hello\tWorld"},
        {u"ÉTÉ", u"ÉtÉ"},
        {u"été indien", u"été Indien"},
        {u"¿qué pasa", u"¿qué Pasa"},
        {u"ĉu vi", u"ĉu Vi"},
        {u"a ĉu vi", u"A ĉu Vi"},
    });
}

TEST_F(SmartCapitalizeTest, EmptyListCapitalizesEveryWord) {
    setSmartCapExclusionListForTesting({});
    expectRows({{u"return of the king", u"Return Of The King"}});
}

TEST_F(SmartCapitalizeTest, NullAndEmptyGiveEmptyText) {
    EXPECT_FALSE(SmartCapitalize(QString()).isNull());
    EXPECT_TRUE(SmartCapitalize(QString()).isEmpty());
    EXPECT_TRUE(SmartCapitalize(u""_s).isEmpty());
}

TEST(SmartCapExclusionList, FileFormat) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"list.txt"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Bytes past 127 read as a line of their own, even behind a comment.
    const QByteArray longComment = "#" + QByteArray(126, 'x') + " tail more\n";
    file.write("# comment\n"
               "  of   trailing words\n"
               "\n"
               "\t\n"
               "THE\n" +
               longComment + "last");
    file.close();
    EXPECT_EQ(readSmartCapExclusionList(path), (QStringList{u"of"_s, u"THE"_s, u"tail"_s, u"last"_s}));
    EXPECT_TRUE(readSmartCapExclusionList(dir.filePath(u"missing.txt"_s)).isEmpty());
}

TEST(SmartCapExclusionList, ShippedListIsFound) {
    const QString path = resourcePath(u"SmartCapExclusionList.txt"_s);
    ASSERT_FALSE(path.isNull());
    const QStringList words = readSmartCapExclusionList(path);
    EXPECT_TRUE(words.contains(u"of"_s));
    EXPECT_TRUE(words.contains(u"the"_s));
}

TEST(SqueezeString, JoinsWordsWithCapitals) {
    for (const Row& row : {Row{u"the white album", u"TheWhiteAlbum"},
                           Row{u"the quick-brown fox", u"TheQuickbrownFox"},
                           Row{u"AC/DC", u"ACDC"}, Row{u"?!.,", u""}, Row{u"Björk", u"Bjrk"},
                           Row{u"  2 many  djs", u"2ManyDjs"}, Row{u"ĉu vi", u"ĉUVi"}}) {
        EXPECT_EQ(SqueezeString(q(row.in)), q(row.out)) << q(row.in).toStdString();
    }
    EXPECT_FALSE(SqueezeString(QString()).isNull());
}

TEST(RemoveLeadingArticle, DropsTheAAn) {
    for (const Row& row : {Row{u"The Who", u"Who"}, Row{u"  The Who", u"Who"},
                           Row{u"An Evening", u"Evening"}, Row{u"a\tflock", u"flock"},
                           Row{u"THE  end", u"end"}, Row{u"The", u"The"}, Row{u"a", u"a"},
                           Row{u"The  ", u"The  "}, Row{u"Theatre of Hate", u"Theatre of Hate"},
                           Row{u"Another Day", u"Another Day"}, Row{u"", u""}}) {
        EXPECT_EQ(RemoveLeadingArticle(q(row.in)), q(row.out)) << q(row.in).toStdString();
    }
}
