#include "web/WebLimits.h"
#include "web/sources/FieldText.h"
#include "web/sources/SourceSupport.h"

#include <string_view>

#include <gtest/gtest.h>

namespace {

// A text as the fetcher hands it over: each byte one character.
QString asFetched(const char* utf8) { return QString::fromLatin1(utf8); }

TEST(FieldTextRepair, DecodesOnlyValidMultiByteUtf8) {
    struct Row {
        QString in;
        QString out;
    } rows[] = {
        {asFetched("Bj\xC3\xB6rk"), QString::fromUtf8("Björk")},
        {asFetched("Sigur R\xC3\xB3s \xE2\x80\x93 \xC3\x81g\xC3\xA6tis"), QString::fromUtf8("Sigur Rós – Ágætis")},
        {asFetched("\xE6\x9D\xB1\xE4\xBA\xAC"), QString::fromUtf8("東京")},
        {asFetched("\xF0\x9F\x8E\xB5"), QString::fromUtf8("🎵")},
        // Genuine ISO 8859-1 and plain ASCII stay.
        {asFetched("Bj\xF6rk"), QString::fromUtf8("Björk")},
        {QStringLiteral("Homogenic"), QStringLiteral("Homogenic")},
        // Broken or overlong sequences are not UTF-8: left alone.
        {asFetched("caf\xC3"), asFetched("caf\xC3")},
        {asFetched("\xC0\xAF"), asFetched("\xC0\xAF")},
        {asFetched("\xED\xA0\x80"), asFetched("\xED\xA0\x80")},
        // Already real text above 255 is not touched.
        {QString::fromUtf8("東京 Ã©"), QString::fromUtf8("東京 Ã©")},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RepairUtf8Field(row.in), row.out) << row.in.toStdString();
    EXPECT_TRUE(RepairUtf8Field(QString()).isNull());
}

// Every field from the web loses what must not reach a name, a tag or the
// terminal, once its bytes are decoded, and is capped.
TEST(FieldTextClean, WebFieldsLoseControlsAndOverridesAndAreCapped) {
    const auto bytes = [](std::string_view b) {
        return QString::fromLatin1(b.data(), qsizetype(b.size()));
    };
    const QString note = QString::fromUtf8("🎵");
    struct Row {
        QString in;
        QString out;
    } rows[] = {
        {bytes(std::string_view("Closing\0Time", 12)), QStringLiteral("ClosingTime")},
        {bytes("Two\nlines\tand\rreturn"), QStringLiteral("Two lines and return")},
        {bytes("\x1b[31mRed\x07\x7f"), QStringLiteral("[31mRed")},
        // The bytes of a UTF-8 sequence are no C1 controls; a lone C1 is.
        {bytes("a \xE2\x80\x93 b"), QString::fromUtf8("a \u2013 b")},
        {bytes("caf\xE9 \x85"), bytes("caf\xE9 ")},
        {bytes("\xE2\x80\xAE"
               "evil\xE2\x81\xA6 \xE2\x81\xA9"),
         QStringLiteral("evil ")},
        {QString(100000, u'a'), QString(WebLimits::kMaxFieldChars, u'a')},
        // The cap never leaves half a surrogate pair.
        {QString(WebLimits::kMaxFieldChars - 1, u'a') + note,
         QString(WebLimits::kMaxFieldChars - 1, u'a')},
    };
    for (const Row& row : rows)
        EXPECT_EQ(WebField(row.in), row.out) << row.in.left(40).toStdString();
    EXPECT_TRUE(WebField(QString()).isNull());
    EXPECT_EQ(CleanWebText(QString::fromUtf8("Sigur Rós\u202E")), QString::fromUtf8("Sigur Rós"));
}

// Keys name what a detail request asks for and are stored one per line.
TEST(SourceSupportKeys, OnlyEachSourcesOwnShapePasses) {
    struct Row {
        const char* text;
        bool discKey, reference;
    } rows[] = {
        {"rock/0a0b0c0d", true, true},
        {"soundtrack/ffffffff", true, true},
        {"Rock/0a0b0c0d", false, true},
        {"pop/0a0b0c0d", false, true},
        {"rock/0a0b0c0", false, true},
        {"rock/0A0B0C0D", false, true},
        {"rock\nvariousArtist\tInjected/0a0b0c0d", false, false},
        {"10:homogenic", false, true},
        {"lid=1&aid=post", false, true},
        {"a b", false, false},
        {"a\"><script>", false, false},
        {"", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(SourceSupport::isDiscKey(QString::fromLatin1(row.text)), row.discKey);
        EXPECT_EQ(SourceSupport::isPlainReference(QString::fromLatin1(row.text)), row.reference);
    }
    EXPECT_FALSE(SourceSupport::isPlainReference(QString(257, u'a')));
    EXPECT_FALSE(SourceSupport::isPlainReference(QString::fromUtf8("caf\u00e9")));
}

TEST(FieldTextMacRoman, LegacyCheckRefusesWhatTheSetLacks) {
    EXPECT_TRUE(FitsMacRoman(asFetched("Bj\xF6rk \xE9t\xE9 \xA9")));
    EXPECT_FALSE(FitsMacRoman(asFetched("a \x96 b")));  // C1 control
    EXPECT_FALSE(FitsMacRoman(asFetched("\xBD cup"))); // one half
    EXPECT_TRUE(FitsMacRoman(QString::fromUtf8("€ – “”")));
}

TEST(SourceSupportNumbers, HexAndKeysAsTheCLibraryReadsThem) {
    EXPECT_EQ(SourceSupport::readHex(QStringLiteral("0a0b0c0d")), 0x0a0b0c0du);
    EXPECT_EQ(SourceSupport::readHex(QStringLiteral("12abzz")), 0x12abu);
    EXPECT_EQ(SourceSupport::readHex(QStringLiteral("0x1F")), 0x1Fu);
    EXPECT_FALSE(SourceSupport::readHex(QStringLiteral("zz")).has_value());
    EXPECT_FALSE(SourceSupport::readHex(QString()).has_value());
    EXPECT_EQ(SourceSupport::discKey(QStringLiteral("rock"), 0xA0B0C0D), QStringLiteral("rock/0a0b0c0d"));
    EXPECT_EQ(SourceSupport::discKey(QStringLiteral("misc"), 0xFFFFFFFFu), QStringLiteral("misc/ffffffff"));
    EXPECT_EQ(SourceSupport::hostOf(QStringLiteral("http://127.0.0.1:8123/cg/x?y")), QStringLiteral("127.0.0.1:8123"));
    EXPECT_EQ(SourceSupport::hostOf(QStringLiteral("http://www.example.com/x")), QStringLiteral("www.example.com"));
    EXPECT_EQ(SourceSupport::intValue(QStringLiteral("  42 songs")), 42);
    EXPECT_EQ(SourceSupport::intValue(QStringLiteral("none")), 0);
}

} // namespace
