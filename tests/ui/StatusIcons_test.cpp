#include "ui/SourceIcons.h"
#include "ui/StatusIcons.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

#include <QPainter>

#include <gtest/gtest.h>

TEST(StatusIcons, FifteenNamedSixteenPixelIconsInThreeColours) {
    const QStringList letters{"Num", "A", "I", "F", "T"};
    for (const char* color : {"Red", "Gray", "Green"}) {
        for (const QString& letter : letters) {
            const QImage image = StatusIcons::image(QLatin1String(color) + " " + letter);
            ASSERT_FALSE(image.isNull()) << color << " " << qPrintable(letter);
            EXPECT_EQ(image.size(), QSize(16, 16));
        }
    }
    EXPECT_TRUE(StatusIcons::image(QStringLiteral("Blue A")).isNull());
    // The colours are told apart by their fill.
    const QRgb red = StatusIcons::image(StatusIcons::A, StatusIcons::Red).pixel(3, 8);
    const QRgb green = StatusIcons::image(StatusIcons::A, StatusIcons::Green).pixel(3, 8);
    const QRgb gray = StatusIcons::image(StatusIcons::A, StatusIcons::Gray).pixel(3, 8);
    EXPECT_GT(qRed(red), qGreen(red));
    EXPECT_GT(qGreen(green), qRed(green));
    EXPECT_EQ(qRed(gray), qGreen(gray));
}

TEST(StatusIcons, RowDrawsAFITNumFromTheLeftEdge) {
    QImage canvas(100, 20, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    std::array<StatusIcons::Color, 5> colors{};
    colors.fill(StatusIcons::Green);
    colors[StatusIcons::F] = StatusIcons::Red; // second from the left
    StatusIcons::paintRow(&p, QRect(0, 0, 100, 20), colors);
    p.end();
    const QRgb second = canvas.pixel(16 + 3, 10);
    const QRgb first = canvas.pixel(3, 10);
    EXPECT_GT(qRed(second), qGreen(second));
    EXPECT_GT(qGreen(first), qRed(first));
    EXPECT_EQ(canvas.pixel(90, 10), qRgb(255, 255, 255)); // nothing past five icons
}

TEST(SourceIcons, RelevanceBarIsAsLongAsTheScoreInTheHighlightColour) {
    struct Row {
        int score, column;
        int length; // painted pixels from x = 2
    };
    const Row rows[] = {{50, 104, 50}, {100, 104, 100}, {25, 44, 10}, {0, 104, 0}};
    QPalette palette;
    palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
    for (const Row& row : rows) {
        QImage cell(row.column, 20, QImage::Format_ARGB32);
        cell.fill(Qt::white);
        QPainter p(&cell);
        SourceIcons::paintRelevance(&p, cell.rect(), row.score, palette);
        p.end();
        int length = 0;
        while (2 + length < cell.width() && cell.pixel(2 + length, 10) != qRgb(255, 255, 255))
            ++length;
        EXPECT_EQ(length, row.length) << row.score;
        const QColor middle = cell.pixelColor(3, 10);
        if (length > 0) {
            EXPECT_GT(middle.blue(), 150) << row.score;
            EXPECT_LT(middle.red() + middle.green(), 40) << row.score;
        }
    }
}

TEST(SourceIcons, DrawnPicturesStaySharpAtTwiceTheDensity) {
    // A badge and a letter drawn for a 2x screen have the screen's pixels,
    // not a 16-pixel picture blown up.
    const QIcon badge = SourceIcons::instance()->decoration(SourceIcons::Tags);
    const QPixmap big = badge.pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(big.size(), QSize(32, 32));
    EXPECT_EQ(big.devicePixelRatio(), 2.0);
    const QImage letter = StatusIcons::image(StatusIcons::A, StatusIcons::Red, QPalette(), 2.0);
    EXPECT_EQ(letter.size(), QSize(32, 32));
    // The red corner cut is 6 logical pixels: 12 device pixels at 2x.
    EXPECT_EQ(qAlpha(letter.pixel(31, 0)), 0);
    EXPECT_GT(qAlpha(letter.pixel(10, 10)), 0);
}

namespace {
int gFileNameWarnings = 0;
void countFileNameWarnings(QtMsgType, const QMessageLogContext&, const QString& message) {
    if (message.contains(QLatin1String("No file name specified"))) ++gFileNameWarnings;
}
} // namespace

TEST(SourceIcons, BundledPicturesWithoutAFileWarnAboutNone) {
    // A badge a source draws for lack of a shipped picture opens no file.
    gFileNameWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countFileNameWarnings);
    for (const MusicSource* source : MusicSources::all()) {
        if (source->iconName().isEmpty()) continue;
        EXPECT_FALSE(SourceIcons::bundledImage(source->iconName()).isNull())
            << source->name().toStdString();
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(gFileNameWarnings, 0);
}

TEST(SourceIcons, IconByResultKeyPrefix) {
    SourceIcons* icons = SourceIcons::instance();
    struct Row {
        const char* key;
        QImage icon; // null: none
    };
    const Row rows[] = {
        {"#FILES:x", icons->icon(SourceIcons::FileNames)},
        {"#TAG:", icons->icon(SourceIcons::Tags)},
        {"#AMG:r123", icons->icon(QStringLiteral("All Music Guide"))},
        {"#GOOG:abc", icons->icon(QStringLiteral("Google Music"))},
        {"#GNU:rock/1", icons->icon(QStringLiteral("gnudb"))},
        {"rock 1234abcd", {}},
        {"#MB:5e1e0000-0000-4000-8000-000000000001/2", icons->icon(QStringLiteral("MusicBrainz"))},
        {"", {}}};
    for (const Row& row : rows) {
        const QImage image = icons->iconForKey(QString::fromLatin1(row.key));
        if (row.icon.isNull())
            EXPECT_TRUE(image.isNull()) << row.key;
        else
            EXPECT_EQ(image, row.icon) << row.key;
    }
    // The shipped picture, not an empty stand-in.
    EXPECT_EQ(icons->icon(QStringLiteral("MusicBrainz")).size(), QSize(16, 16));
}

TEST(StatusIcons, ChangedLettersDifferInShapeAndSayWhatTheyMean) {
    // Without colour (the alpha mask alone) a red letter still stands out.
    for (StatusIcons::Letter letter : StatusIcons::kRowOrder) {
        const QImage red = StatusIcons::image(letter, StatusIcons::Red).createAlphaMask();
        for (StatusIcons::Color other : {StatusIcons::Green, StatusIcons::Gray})
            EXPECT_NE(red, StatusIcons::image(letter, other).createAlphaMask()) << letter;
    }
    std::array<StatusIcons::Color, 5> colors{};
    colors.fill(StatusIcons::Gray);
    colors[StatusIcons::A] = StatusIcons::Red;
    colors[StatusIcons::T] = StatusIcons::Green;
    EXPECT_EQ(StatusIcons::accessibleText(colors),
              QStringLiteral("Artist: will change, File name: left alone, Album info: left alone, "
                             "Title: already right, Track number: left alone"));
}
