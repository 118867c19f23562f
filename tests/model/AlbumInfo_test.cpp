#include "app/Preferences.h"
#include "model/AlbumDetails.h"
#include "model/AlbumInfoArray.h"
#include "model/TrackInfoArray.h"
#include "pictures/QtPictureCodec.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

// A hit whose score under `weightsScoring(n)` is exactly n.
AlbumInfoPtr hit(const QString& key) {
    auto h = AlbumInfo::AlbumInfoFromScratch(QStringLiteral("Artist"), QStringLiteral("Album"),
                                             QString(), QString());
    h->setResultKey(key);
    return h;
}

ScoreWeights weightsScoring(int n) {
    return {AlbumInfo::scoreWeightEntry(AlbumInfo::kAlbumKey, QStringLiteral("Album"), n)};
}

QStringList keys(const AlbumInfoArray& list) {
    QStringList out;
    for (const auto& h : list)
        out << h->resultKey();
    return out;
}

class HitList : public ::testing::Test {
protected:
    void TearDown() override { Prefs::clearOverrides(); }
};

} // namespace

TEST(AlbumInfoRecord, NullSetterKeepsValueAndEmptyReplacesIt) {
    AlbumInfo h;
    EXPECT_TRUE(h.artist().isNull());
    h.setArtist(QStringLiteral("Band"));
    h.setArtist(QString());
    EXPECT_EQ(h.artist(), QStringLiteral("Band"));
    h.setArtist(QStringLiteral(""));
    EXPECT_TRUE(h.artist().isEmpty());
    EXPECT_FALSE(h.artist().isNull());
    h.setCoverArt(Picture());
    h.setAlbumDetails(nullptr);
    EXPECT_EQ(h.dict().size(), 1);
}

TEST(AlbumInfoRecord, KeysAreTheStoredOnes) {
    AlbumInfo h;
    h.setIADBCompareString(QStringLiteral("A / B"));
    h.setResultKey(QStringLiteral("#AMG:1"));
    h.setTotalScore(42);
    EXPECT_EQ(h.dict().value(QStringLiteral("IADBSearchString")).toString(),
              QStringLiteral("A / B"));
    EXPECT_EQ(h.dict().value(QStringLiteral("resultKey")).toString(), QStringLiteral("#AMG:1"));
    EXPECT_EQ(h.dict().value(QStringLiteral("score")).toInt(), 42);
}

TEST(AlbumInfoRecord, CopyIsSameClassWithSharedValues) {
    auto details = std::make_shared<AlbumDetails>();
    auto song = TrackInfo::TrackInfoFromScratch(QStringLiteral("A"), QStringLiteral("B"),
                                                QStringLiteral("T"), QString(), QString(),
                                                QStringLiteral("1"), QString());
    song->setAlbumDetails(details);
    AlbumInfoPtr copy = song->copy();
    ASSERT_NE(std::dynamic_pointer_cast<TrackInfo>(copy), nullptr);
    EXPECT_EQ(copy->albumDetails(), details);
    copy->setArtist(QStringLiteral("Other"));
    EXPECT_EQ(song->artist(), QStringLiteral("A"));
}

TEST(AlbumInfoRecord, LongTrackJoinsCountOnlyWhenPresent) {
    struct Row {
        QString t1, t2, longTrack;
    } rows[] = {
        {QStringLiteral("3"), QStringLiteral("12"), QStringLiteral("3/12")},
        {QStringLiteral("3"), QStringLiteral(""), QStringLiteral("3")},
        {QStringLiteral("3"), QString(), QStringLiteral("3")},
    };
    for (const Row& r : rows) {
        auto s = TrackInfo::TrackInfoFromScratch(QString(), QString(), QString(), QString(),
                                                 QString(), r.t1, r.t2);
        EXPECT_EQ(s->longTrack(), r.longTrack) << r.t1.toStdString() << "," << r.t2.toStdString();
        EXPECT_EQ(s->track(), r.t1);
    }
}

TEST(AlbumInfoScore, WeightedSumIsTruncated) {
    AlbumInfo h;
    h.setIADBCompareString(QStringLiteral("axb"));
    h.setGenre(QStringLiteral("Rock"));
    h.setYear(QStringLiteral("1999"));
    const ScoreWeights folder = {
        AlbumInfo::scoreWeightEntry(AlbumInfo::kCompareStringKey, QStringLiteral("ayb"), 88),
        AlbumInfo::scoreWeightEntry(AlbumInfo::kGenreKey, QStringLiteral("Rock"), 6),
        AlbumInfo::scoreWeightEntry(AlbumInfo::kYearKey, QStringLiteral(""), 6),
    };
    h.calcAlbumScore(folder);
    EXPECT_EQ(h.totalScore(), (88 * 66 + 6 * 100) / 100); // 64: empty year adds nothing

    const ScoreWeights allEmpty = {
        AlbumInfo::scoreWeightEntry(AlbumInfo::kCompareStringKey, QStringLiteral(""), 50),
        AlbumInfo::scoreWeightEntry(QStringLiteral("title"), QStringLiteral("x"), 50),
    };
    h.calcAlbumScore(allEmpty);
    EXPECT_EQ(h.totalScore(), 0);

    h.setTotalScore(77);
    h.calcAlbumScore(std::nullopt);
    EXPECT_EQ(h.totalScore(), 77);
}

TEST_F(HitList, SameKeyInOtherCaseIsRefused) {
    AlbumInfoArray list;
    auto first = hit(QStringLiteral("#AMG:abc"));
    ASSERT_TRUE(list.addSorted(first, weightsScoring(50), 0));
    EXPECT_FALSE(list.addSorted(hit(QStringLiteral("#amg:ABC")), weightsScoring(90), 0));
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0), first);
    EXPECT_EQ(first->totalScore(), 50);
}

TEST_F(HitList, FullListTakesOnlyStrictlyBetterHits) {
    AlbumInfoArray list;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(list.addSorted(hit(QString::number(i)), weightsScoring(90 - i * 5), 0));
    ASSERT_EQ(list.count(), 10); // scores 90 .. 45
    EXPECT_FALSE(list.addSorted(hit(QStringLiteral("equal")), weightsScoring(45), 0));
    EXPECT_FALSE(list.addSorted(hit(QStringLiteral("worse")), weightsScoring(10), 0));
    EXPECT_EQ(list.count(), 10);
    EXPECT_TRUE(list.addSorted(hit(QStringLiteral("better")), weightsScoring(46), 0));
    ASSERT_EQ(list.count(), 10);
    EXPECT_EQ(list.at(9)->resultKey(), QStringLiteral("better"));
    EXPECT_FALSE(keys(list).contains(QStringLiteral("9")));
}

TEST_F(HitList, ZeroOrNegativeMaximumMeansTen) {
    for (int setting : {0, -3}) {
        AlbumInfoArray list;
        list.setMaxEntries(setting);
        for (int i = 0; i < 12; ++i)
            list.addSorted(hit(QString::number(i)), weightsScoring(90 - i), 0);
        EXPECT_EQ(list.count(), 10) << setting;
    }
    AlbumInfoArray list;
    list.setMaxEntries(3);
    for (int i = 0; i < 5; ++i)
        list.addSorted(hit(QString::number(i)), weightsScoring(10 + i), 0);
    EXPECT_EQ(keys(list), (QStringList{"4", "3", "2"}));
}

TEST_F(HitList, EqualScoresKeepArrivalOrderAndNoWeightsScoresHundred) {
    AlbumInfoArray list;
    list.addSorted(hit(QStringLiteral("a")), weightsScoring(100), 0);
    list.addSorted(hit(QStringLiteral("b")), weightsScoring(60), 0);
    list.addSorted(hit(QStringLiteral("c")), weightsScoring(60), 0);
    list.addSorted(hit(QStringLiteral("#TAG:")), std::nullopt, 0);
    list.addSorted(hit(QStringLiteral("#FILES:")), std::nullopt, 0);
    EXPECT_EQ(keys(list), (QStringList{"a", "#TAG:", "#FILES:", "b", "c"}));
    EXPECT_EQ(list.at(1)->totalScore(), 100);
}

TEST_F(HitList, CalcScoresAndSortIsStable) {
    AlbumInfoArray list;
    const QStringList albums = {"x", "Album", "y", "Album"};
    for (int i = 0; i < albums.size(); ++i) {
        auto h = hit(QString::number(i));
        h->setAlbum(albums[i]);
        list.add(h);
    }
    list.calcScoresAndSort(weightsScoring(100));
    EXPECT_EQ(keys(list), (QStringList{"1", "3", "0", "2"}));
}

TEST(HitListOps, CopiesAndSharing) {
    AlbumInfoArray list;
    auto a = hit(QStringLiteral("a"));
    list.add(a);
    list.insertObject(a, 0);
    list.addCopy(a);
    ASSERT_EQ(list.count(), 3);
    EXPECT_NE(list.at(0), a);
    EXPECT_EQ(list.at(1), a);
    EXPECT_NE(list.at(2), a);
    auto copied = list.copy();
    EXPECT_EQ(copied->at(1), a);
    list.removeObject(a);
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(copied->count(), 3);
    EXPECT_EQ(list.at(5), nullptr);
    list.removeObjectAtIndex(7);
    EXPECT_EQ(list.count(), 2);
}

TEST(HitSort, TrackColumnPutsLargerNumberThenLargerCountFirst) {
    TrackInfoArray list;
    for (const char* t : {"3/10", "x", "12", "3/12", ""}) {
        auto s = std::make_shared<TrackInfo>();
        s->setLongTrack(QString::fromLatin1(t));
        list.add(s);
    }
    list.add(std::make_shared<TrackInfo>()); // no long track at all
    ASSERT_TRUE(list.sortByColumn(QStringLiteral("track")));
    QStringList order;
    for (int i = 0; i < 4; ++i)
        order << list.trackAtIndex(i)->longTrack();
    EXPECT_EQ(order, (QStringList{"12", "3/12", "3/10", "x"}));
}

TEST(HitSort, TextColumnsIgnoreCaseAndMissingValuesCompareSame) {
    TrackInfoArray list;
    for (const char* t : {"beta", "Alpha", "gamma"}) {
        auto s = std::make_shared<TrackInfo>();
        s->setTitle(QString::fromLatin1(t));
        s->setArtist(QString::fromLatin1(t));
        list.add(s);
    }
    list.sortByColumn(QStringLiteral("title"));
    EXPECT_EQ(list.trackAtIndex(0)->title(), QStringLiteral("Alpha"));
    EXPECT_EQ(list.trackAtIndex(2)->title(), QStringLiteral("gamma"));
    AlbumInfo a, b;
    a.setArtist(QStringLiteral("X"));
    EXPECT_EQ(a.compareArtist(b), 0);
    EXPECT_FALSE(list.sortByColumn(QStringLiteral("bogus")));
}

TEST(HitSort, GenreAndYearSortByAttachedDetails) {
    AlbumInfoArray list;
    const char* genres[][2] = {{"Zydeco", "rock"}, {"Ambient", "Pop"}, {"Blues", "jazz"}};
    for (auto& g : genres) {
        auto h = hit(QString::fromLatin1(g[1]));
        h->setGenre(QString::fromLatin1(g[0]));
        auto d = std::make_shared<AlbumDetails>();
        d->setGenre(QString::fromLatin1(g[1]));
        d->setYear(QString::fromLatin1(g[1]));
        h->setAlbumDetails(d);
        list.add(h);
    }
    list.sortByColumn(QStringLiteral("genre"));
    EXPECT_EQ(keys(list), (QStringList{"jazz", "Pop", "rock"}));
    list.sortByColumn(QStringLiteral("relevance"));
    EXPECT_EQ(keys(list), (QStringList{"jazz", "Pop", "rock"})); // no scores: all the same
    EXPECT_EQ(hit("a")->compareYear(*list.at(0)), 0);
}

TEST(HitDump, HeaderLinesAndEntries) {
    TrackInfoArray list;
    auto s = TrackInfo::TrackInfoFromScratch(QStringLiteral("A"), QStringLiteral("B"),
                                             QStringLiteral("T"), QString(), QString(),
                                             QStringLiteral("1"), QStringLiteral("2"));
    list.add(s);
    const QString text = list.description();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^TrackInfoArray array at 0x[0-9a-f]+, 1 items\\.\n"
                                          "TrackInfo dict at 0x[0-9a-f]+, 6 items\\.\n\\{"))
            .match(text)
            .hasMatch())
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("longTrack = \"1/2\";")));
}
