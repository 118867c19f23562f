#include "docs/BoxSet.h"
#include "docs/HitTable.h"
#include "docs/RowMove.h"

#include <gtest/gtest.h>

namespace {

TEST(RowMove, DraggedRowsLandInTheGapInTheirOrder) {
    struct Row {
        QList<qsizetype> dragged;
        qsizetype drop;
        QList<int> order;
        QList<qsizetype> landed;
    } rows[] = {
        {{1, 3}, 4, {0, 2, 1, 3, 4}, {2, 3}},
        {{1, 3}, 5, {0, 2, 4, 1, 3}, {3, 4}},
        {{1, 3}, 99, {0, 2, 4, 1, 3}, {3, 4}},
        {{3, 1}, 0, {1, 3, 0, 2, 4}, {0, 1}},
        {{2}, 2, {0, 1, 2, 3, 4}, {2}},
        {{4, 7}, 0, {4, 0, 1, 2, 3}, {0}}, // a stale row moves nothing
    };
    for (const Row& row : rows) {
        QList<int> list{0, 1, 2, 3, 4};
        const QList<qsizetype> landed = moveRows(list, row.dragged, row.drop);
        EXPECT_EQ(list, row.order) << "drop " << row.drop;
        EXPECT_EQ(landed, row.landed) << "drop " << row.drop;
    }
}

TEST(BoxSet, CaptionCountsDiscsAndTracks) {
    struct Row {
        int cds, tracks;
        const char* text;
    } rows[] = {
        {0, 0, "There are currently no CDs in the Box Set list."},
        {1, 12, "There are currently 12 tracks from 1 CD in the Box Set list."},
        {1, 1, "There is currently 1 track from 1 CD in the Box Set list."},
        {3, 40, "There are currently 40 tracks from 3 CDs in the Box Set list."},
    };
    for (const Row& row : rows)
        EXPECT_EQ(BoxSet::captionFor(row.cds, row.tracks).toStdString(), row.text);
}

AlbumDetailsPtr disc(const QString& album, int titles) {
    auto details = std::make_shared<AlbumDetails>();
    details->setArtist(QStringLiteral("Set"));
    details->setAlbum(album);
    for (int i = 0; i < titles; ++i)
        details->addTitle(QStringLiteral("t%1").arg(i), QString());
    return details;
}

TEST(BoxSet, RemovingTheLastAlbumDropsTheList) {
    BoxSet set;
    set.addTrackList(disc(QStringLiteral("A"), 2));
    set.addTrackList(disc(QStringLiteral("B"), 3));
    set.addTrackList(nullptr);
    int cds = 0, tracks = 0;
    set.getNumberOfCDs(&cds, &tracks);
    EXPECT_EQ(cds, 2);
    EXPECT_EQ(tracks, 5);
    EXPECT_EQ(set.rowText(0).toStdString(), "Set / A");
    EXPECT_EQ(set.acceptDrop({0}, 2), (QList<qsizetype>{1}));
    EXPECT_EQ(set.rowText(0).toStdString(), "Set / B");
    set.clear({1, 0});
    EXPECT_FALSE(set.albumDetailsArray());
    EXPECT_EQ(set.caption().toStdString(), "There are currently no CDs in the Box Set list.");
}

TEST(HitTable, ColumnsSelectionAndDetails) {
    auto hits = std::make_shared<AlbumInfoArray>();
    for (const char* artist : {"Beta", "Alpha"}) {
        auto hit = std::make_shared<AlbumInfo>();
        hit->setArtist(QString::fromLatin1(artist));
        hit->setResultKey(QStringLiteral("#AMG:") + QString::fromLatin1(artist));
        hit->setTotalScore(artist[0] == 'B' ? 90 : 80);
        hits->add(hit);
    }
    HitTable table;
    table.setAlbumArray(hits);
    EXPECT_EQ(table.cellText(0, QStringLiteral("year")).toStdString(), "...");
    EXPECT_EQ(table.cellText(0, QStringLiteral("score")).toStdString(), "90");
    EXPECT_TRUE(table.resultKey().isNull());
    table.selectRow(0);
    EXPECT_EQ(table.resultKey().toStdString(), "#AMG:Beta");

    auto details = std::make_shared<AlbumDetails>();
    details->setGenre(QStringLiteral("Jazz"));
    EXPECT_TRUE(table.addAlbumDetails(details, 0));
    EXPECT_FALSE(table.addAlbumDetails(details, 5));
    EXPECT_EQ(table.cellText(0, QStringLiteral("genre")).toStdString(), "Jazz");
    EXPECT_EQ(table.cellText(0, QStringLiteral("year")).toStdString(), "(none)");
    EXPECT_NE(table.hitAt(0)->albumDetails(), details); // a copy is attached

    // The selection follows its hit through a sort.
    ASSERT_TRUE(table.sortByColumn(QStringLiteral("artist")));
    EXPECT_EQ(table.selectedRow(), 1);
    EXPECT_EQ(table.resultKey().toStdString(), "#AMG:Beta");
    EXPECT_FALSE(table.sortByColumn(QStringLiteral("source")));
}

} // namespace
