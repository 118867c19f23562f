#include "web/WebHelpers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(StringByRemovingHTMLTagsTest, RemovesTagsAndDecodesFourEntities) {
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"<b>Word</b>", "Word"},
        {"a &amp;lt; b", "a < b"}, // "&amp;" first, so "&amp;lt;" ends as "<"
        {"x &gt; y &nbsp;z", "x > y  z"},
        {"&quot;kept&quot; &eacute;", "&quot;kept&quot; &eacute;"},
        {"one <i>two</i> < three", "one two < three"}, // lone "<" stops and stays
        {"<a\nhref='x'>link</a> tail", "link tail"},
        {"no tags at all", "no tags at all"},
        {"a > b <br> c", "a > b  c"},
        {"<<b>>", ">"},
        {"  spaced  ", "  spaced  "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(stringByRemovingHTMLTags(QString::fromUtf8(row.in)), QString::fromUtf8(row.out));
    }
    EXPECT_TRUE(stringByRemovingHTMLTags(QString()).isNull());
}

TEST(ExtractDoublyDelimitedStringTest, WalksTableCellsWithOneWindow) {
    const QString page = QStringLiteral("<tr><td class=a>First</td><td>Second</td></tr>");
    Window w{0, page.size()};
    const QString start = QStringLiteral("<TD");
    const QString end = QStringLiteral("</td>");
    EXPECT_EQ(ExtractDoublyDelimitedString(page, &w, start, QString(), end),
              QStringLiteral(" class=a>First"));
    EXPECT_EQ(ExtractDoublyDelimitedString(page, &w, start, QStringLiteral(">"), end),
              QStringLiteral("Second"));
    EXPECT_EQ(w.location, page.indexOf(QStringLiteral("</tr>")));
    EXPECT_FALSE(ExtractDoublyDelimitedString(page, &w, start, QString(), end));
}

TEST(ExtractDoublyDelimitedStringTest, InnerMarkerSkipsToItsLastOccurrence) {
    const QString page =
        QStringLiteral("<span>Artist</span><a href='/x'><b><i>The Name</a> more</a>");
    EXPECT_EQ(ExtractDoublyDelimitedString(page, nullptr, QStringLiteral("<span>artist</span>"),
                                           QStringLiteral(">"), QStringLiteral("</A>")),
              QStringLiteral("The Name"));
}

TEST(ExtractDoublyDelimitedStringTest, WindowMovesAsFarAsTheStepsBeforeAFailure) {
    const QString s = QStringLiteral("xxSTARTabcENDyy");
    struct Row {
        const char* start;
        const char* inner;
        const char* end;
        bool found;
        const char* result;
        qsizetype location; // the window afterwards
    };
    const Row rows[] = {
        {"nope", nullptr, "END", false, nullptr, 0},   // window unchanged
        {"start", nullptr, "nope", false, nullptr, 7}, // behind the start marker
        {"start", "nope", "end", false, nullptr, 13},  // behind the end marker
        {"start", nullptr, "end", true, "abc", 13},
        {"start", "b", "end", true, "c", 13},
        {nullptr, nullptr, "END", true, "xxSTARTabc", 13},
        {"START", nullptr, nullptr, true, "abcENDyy", 15}, // to the end, window left empty
        {"", nullptr, "END", false, nullptr, 0},           // an empty marker is never found
    };
    auto marker = [](const char* m) { return m ? QString::fromLatin1(m) : QString(); };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.start ? row.start : "-") + "/" +
                     (row.inner ? row.inner : "-") + "/" + (row.end ? row.end : "-"));
        Window w{0, s.size()};
        const auto got = ExtractDoublyDelimitedString(s, &w, marker(row.start), marker(row.inner),
                                                      marker(row.end));
        ASSERT_EQ(got.has_value(), row.found);
        if (row.found) {
            EXPECT_EQ(*got, QString::fromLatin1(row.result));
        }
        EXPECT_EQ(w.location, row.location);
        EXPECT_EQ(w.location + w.length, s.size());
    }
}

TEST(ExtractDoublyDelimitedStringTest, MarkersArePlainTextAndStayInsideTheWindow) {
    const QString s = QStringLiteral("a.*b [x] a.*b [y]");
    Window w{0, s.size()};
    EXPECT_EQ(
        ExtractDoublyDelimitedString(s, &w, QStringLiteral("["), QString(), QStringLiteral("]")),
        QStringLiteral("x"));
    EXPECT_EQ(
        ExtractDoublyDelimitedString(s, &w, QStringLiteral("a.*b"), QString(), QStringLiteral("]")),
        QStringLiteral(" [y"));
    // A start marker behind the window is not seen.
    Window shortWindow{0, 5};
    EXPECT_FALSE(
        ExtractDoublyDelimitedString(s, &shortWindow, QStringLiteral("[x"), QString(), QString()));
    // A stale window reaching past the source is clamped, not trusted.
    Window stale{10, 1000};
    EXPECT_EQ(ExtractDoublyDelimitedString(s, &stale, QStringLiteral("["), QString(),
                                           QStringLiteral("]")),
              QStringLiteral("y"));
}

TEST(EscapeForURLTest, EscapesUtf8AndKeepsReservedCharacters) {
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"The Beatles", "The%20Beatles"},
        {"a&b=c+d/e?f", "a&b=c+d/e?f"},
        {";:@$,", ";:@$,"},
        {"-_.!~*'()", "-_.!~*'()"},
        {"Caf\xC3\xA9", "Caf%C3%A9"},
        {"100% \"#<>", "100%25%20%22%23%3C%3E"},
        {"\xE2\x80\x94", "%E2%80%94"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(EscapeForURL(QString::fromUtf8(row.in)), QString::fromLatin1(row.out));
        EXPECT_EQ(EscapeForURLQuiet(QString::fromUtf8(row.in)), QString::fromLatin1(row.out));
    }
    EXPECT_TRUE(EscapeForURLQuiet(QString()).isNull());
}

TEST(OpenURLInBrowserTest, GoesThroughTheInstalledOpener) {
    std::vector<QString> opened;
    const URLOpener previous = SetURLOpener([&](const QString& url) { opened.push_back(url); });
    OpenURLInBrowser(QStringLiteral("http://a.example/1"));
    OpenURLInBrowserQuiet(QStringLiteral("http://a.example/2"));
    SetURLOpener(previous);
    EXPECT_EQ(opened, (std::vector<QString>{QStringLiteral("http://a.example/1"),
                                            QStringLiteral("http://a.example/2")}));
}

} // namespace
