#include "art/CoverScaling.h"

#include "art/AlbumArtDict.h"
#include "art/CoverOptions.h"
#include "pictures/QtPictureCodec.h"

#include <gtest/gtest.h>

namespace {

class CoverScalingTest : public ::testing::Test {
protected:
    void resize(bool on, int pixels, int option) {
        fOptions.resize = on;
        fOptions.resizePixels = pixels;
        fOptions.resizeOption = option;
    }
    CoverOptions fOptions;
};

struct FactorRow {
    int option;
    QSize picture;
    QSize expected;
};

TEST_F(CoverScalingTest, LongerSideBecomesResizePixelsWithinTheOption) {
    const FactorRow rows[] = {
        {0, {600, 400}, {300, 200}}, // shrinks, width rules
        {0, {100, 200}, {150, 300}}, // enlarges, height rules
        {0, {400, 400}, {300, 300}}, // square: the height rule gives the same
        {1, {600, 400}, {600, 400}}, // only enlarge: never shrinks
        {1, {100, 200}, {150, 300}},
        {2, {100, 200}, {100, 200}}, // only shrink: never enlarges
        {2, {600, 400}, {300, 200}},
        {7, {600, 400}, {300, 200}}, // unknown option: the factor as is
    };
    for (const FactorRow& row : rows) {
        resize(true, 300, row.option);
        const double factor = computeFactor(row.picture, fOptions);
        EXPECT_EQ(
            QSize(qRound(row.picture.width() * factor), qRound(row.picture.height() * factor)),
            row.expected)
            << "option " << row.option << " " << row.picture.width() << "x" << row.picture.height();

        QImage picture(row.picture, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QImage scaled =
            QtPictureCodec::toImage(scaledImage(QtPictureCodec::fromImage(picture), fOptions));
        EXPECT_EQ(scaled.size(), row.expected);
        EXPECT_EQ(QColor(scaled.pixel(scaled.width() / 2, scaled.height() / 2)), QColor(Qt::red));
    }
}

TEST_F(CoverScalingTest, ResizingOffOrNoPictureKeepsTheSize) {
    resize(false, 300, 0);
    EXPECT_EQ(computeFactor({600, 400}, fOptions), 1.0);
    QImage picture(600, 400, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    EXPECT_EQ(scaledImage(QtPictureCodec::fromImage(picture), fOptions).size(), QSize(600, 400));

    resize(true, 300, 0);
    EXPECT_EQ(computeFactor({0, 0}, fOptions), 1.0);
    EXPECT_TRUE(scaledImage(Picture(), fOptions).isNull());
}

TEST_F(CoverScalingTest, AFactorThatLeavesNoPixelsGivesNoPicture) {
    resize(true, 1, 0);
    QImage picture(1000, 1, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    EXPECT_TRUE(scaledImage(QtPictureCodec::fromImage(picture), fOptions).isNull()); // 1 x 0.001
}

TEST(CoverToolTip, BySourceOfTheShownCandidate) {
    QImage picture(4, 4, QImage::Format_RGB32);
    struct Row {
        QString source;
        QString location;
        QString tip;
    };
    const Row rows[] = {
        {"empty", {}, "(No image)"},
        {"file", "/music/A/front.jpg", "front.jpg"},
        {"file", {}, "File"},
        {"drop", {}, "Dropped image"},
        {"url", "http://x/y.jpg", "Retrieved from internet"},
        {"saved", "TAG", "Saved image"},
        {"other", {}, QString()}, // the view keeps its old tip
    };
    for (const Row& row : rows) {
        AlbumArtDict candidate;
        candidate.setSource(row.source);
        candidate.setLocation(row.location);
        candidate.setImage(QtPictureCodec::fromImage(picture));
        EXPECT_EQ(toolTipForCandidate(&candidate), row.tip) << row.source.toStdString();
        EXPECT_EQ(toolTipForCandidate(&candidate).isNull(), row.tip.isNull());
    }
    EXPECT_EQ(toolTipForCandidate(nullptr), "(No image)");
    AlbumArtDict noPicture;
    noPicture.setSource("drop");
    EXPECT_EQ(toolTipForCandidate(&noPicture), "(No image)");
}

TEST(CoverGeometry, CenterRectKeepsTheSizeAroundThePoint) {
    EXPECT_EQ(centerRect(QRectF(5, 5, 10, 4), QPointF(0, 0)), QRectF(-5, -2, 10, 4));
    EXPECT_EQ(centerRect(QRectF(0, 0, 3, 3), QPointF(10, 20)), QRectF(8.5, 18.5, 3, 3));
}

} // namespace
