#include "art/AlbumArt.h"

#include "app/Preferences.h"
#include "model/AlbumInfo.h"
#include "pictures/QtPictureCodec.h"
#include "support/LoopbackServer.h"
#include "support/Pictures.h"
#include "support/SourceTestKit.h"
#include "web/LookupDeadline.h"
#include "web/WebLimits.h"
#include "web/WebThrottle.h"

#include <QBuffer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QStringList sources(const AlbumArtDictArray& list) {
    QStringList out;
    for (const auto& record : list)
        out << QStringLiteral("%1:%2:%3")
                   .arg(record->source(), record->location())
                   .arg(record->score());
    return out;
}

class AlbumArtTest : public ::testing::Test {
protected:
    void TearDown() override { Prefs::clearOverrides(); }
    QTemporaryDir fDir;
    QString path(const QString& name) const { return fDir.filePath(name); }
    void writeImage(const QString& name, const QImage& image) const {
        ASSERT_TRUE(image.save(path(name))) << name.toStdString();
    }
};

TEST_F(AlbumArtTest, CandidatesRankBySourceWithTiesInArrivalOrder) {
    writeImage("a.png", picture(10, 10));
    AlbumArt art;
    art.addCandidates({AlbumArt::candidateFromURL(QString(), 100)}); // null address: nothing
    art.setImageFromImage(QtPictureCodec::fromImage(picture(3, 3)), "url", "http://x/1", 100);
    art.setImageFromFile(path("a.png"), AlbumArt::kFileScore);
    art.setImageFromImage(QtPictureCodec::fromImage(picture(3, 3)), "url", "http://x/2", 70);
    AlbumInfo tags;
    tags.setCoverArt(QtPictureCodec::fromImage(picture(5, 5)));
    tags.setCoverArtLocation("TAG");
    art.addCandidates({AlbumArt::candidateFromAlbumInfo(&tags, true)});
    art.imageDropped(QtPictureCodec::fromImage(picture(7, 7)));
    AlbumInfo names; // the names hit offers the same picture again
    names.setCoverArt(QtPictureCodec::fromImage(picture(5, 5)));
    names.setCoverArtLocation("/m/01.mp3");
    art.addCandidates({AlbumArt::candidateFromAlbumInfo(&names, true)});
    art.setImageFromImage(QtPictureCodec::fromImage(picture(3, 3)), "url", "http://x/3", 70);
    art.addCandidates({AlbumArt::candidateFromAlbumInfo(nullptr, true)});
    const AlbumInfo noPicture;
    art.addCandidates({AlbumArt::candidateFromAlbumInfo(&noPicture, true)});

    EXPECT_EQ(
        sources(art.candidates()),
        (QStringList{"drop::101", "url:http://x/1:100", "saved:TAG:100", "saved:/m/01.mp3:100",
                     "file:" + path("a.png") + ":99", "url:http://x/2:70", "url:http://x/3:70"}));
    EXPECT_EQ(art.count(), 7);
    EXPECT_TRUE(art.nextEnabled());
}

TEST_F(AlbumArtTest, TagPictureNeedsTheSearchPreference) {
    AlbumArt art;
    AlbumInfo tags;
    tags.setCoverArt(QtPictureCodec::fromImage(picture(5, 5)));
    art.addCandidates({AlbumArt::candidateFromAlbumInfo(&tags, false)});
    EXPECT_EQ(art.count(), 0);
}

TEST_F(AlbumArtTest, DescriptionsAndSizeTexts) {
    writeImage("front cover.jpg", picture(40, 30));
    AlbumArt art;
    art.setImageFromFile(path("front cover.jpg"), 99);
    art.imageDropped(QtPictureCodec::fromImage(picture(12, 8)));
    art.fileDropped(path("front cover.jpg"));
    AlbumInfo hit;
    hit.setCoverArt(QtPictureCodec::fromImage(picture(2, 3)));
    hit.setCoverArtLocation("TAG");
    art.addCandidates({AlbumArt::candidateFromAlbumInfo(&hit, true)});
    art.setImageFromImage(QtPictureCodec::fromImage(picture(9, 9)), "url", "http://h/c.jpg", 50);
    art.setImageFromImage(Picture(), "empty", QString(), 0);
    art.setImageFromImage(QtPictureCodec::fromImage(picture(1, 1)), "odd", QString(), 0);

    QStringList got;
    for (const auto& c : art.candidates())
        got << c->sourceDescr() + " | " + c->sizeDescr();
    EXPECT_EQ(got,
              (QStringList{"Added by user | 12 x 8", "front cover.jpg | 40 x 30",
                           "Original image from tags | 2 x 3", "front cover.jpg | 40 x 30",
                           "Retrieved from internet | 9 x 9", "(No image) | ", "unknown | 1 x 1"}));
    const auto drop = art.candidates().at(0);
    EXPECT_TRUE(drop->location().isNull());
    EXPECT_FALSE(drop->dict().contains(AlbumArtDict::kLocationKey));
    EXPECT_EQ(AlbumArtDict::describeSize({0, 0}), "(none)");
    EXPECT_EQ(AlbumArtDict::describeSize({0, 5}), "0 x 5");
}

TEST_F(AlbumArtTest, NewCandidateIsShownAtOnceAndNextStepsFromTheOldIndex) {
    AlbumArt art;
    QSignalSpy spy(&art, &AlbumArt::changed);
    EXPECT_FALSE(art.shownCandidate());
    art.next(); // empty: nothing happens
    art.reset();
    EXPECT_FALSE(art.shownCandidate());
    EXPECT_EQ(spy.count(), 0);

    art.setImageFromImage(QtPictureCodec::fromImage(picture(10, 20)), "url", "http://h/a", 50);
    EXPECT_EQ(art.shownCandidate()->location(), "http://h/a");
    EXPECT_EQ(art.sourceText(), "Retrieved from internet");
    EXPECT_EQ(art.windowSizeText(), "10 x 20");
    EXPECT_EQ(art.sizeText(), "10 x 20");
    EXPECT_FALSE(art.nextEnabled());
    art.next(); // a list of one shows the same again
    EXPECT_EQ(art.shownCandidate()->location(), "http://h/a");

    // Ranks last, shown now.
    art.setImageFromImage(QtPictureCodec::fromImage(picture(30, 40)), "url", "http://h/b", 20);
    EXPECT_EQ(art.shownCandidate()->location(), "http://h/b");
    EXPECT_TRUE(art.nextEnabled());
    // Ranks first.
    art.setImageFromImage(QtPictureCodec::fromImage(picture(5, 5)), "url", "http://h/c", 90);
    // The index is still 0, so Next goes to the second: a.
    art.next();
    EXPECT_EQ(art.shownCandidate()->location(), "http://h/a");
    art.next();
    EXPECT_EQ(art.shownCandidate()->location(), "http://h/b");
    art.next(); // wraps
    EXPECT_EQ(art.shownCandidate()->location(), "http://h/c");
    art.next();
    art.reset();
    EXPECT_EQ(art.shownCandidate()->location(), "http://h/c");
    EXPECT_EQ(art.shownImage().size(), QSize(5, 5));
    EXPECT_EQ(spy.count(), 9);
}

TEST_F(AlbumArtTest, ClearBlanksTheViewsButKeepsTheCandidates) {
    AlbumArt art;
    art.setPanelViewSize({206, 106});
    art.setImageFromImage(QtPictureCodec::fromImage(picture(10, 20)), "drop", QString(), 101);
    EXPECT_EQ(art.displaySizeText(), "200 x 100");
    art.clear();
    EXPECT_FALSE(art.shownCandidate());
    EXPECT_TRUE(art.shownImage().isNull());
    EXPECT_EQ(art.sourceText(), "No image");
    EXPECT_EQ(art.windowSizeText(), "(none)");
    EXPECT_EQ(art.sizeText(), "");
    EXPECT_FALSE(art.sizeText().isNull());
    EXPECT_EQ(art.displaySizeText(), "");
    EXPECT_EQ(art.count(), 1);
    art.reset();
    EXPECT_EQ(art.shownImage().size(), QSize(10, 20));
    EXPECT_EQ(art.displaySizeText(), "200 x 100");
}

TEST_F(AlbumArtTest, FolderSearchTakesImagesAndSkipsEverythingElse) {
    writeImage("b.png", picture(8, 8));
    writeImage("A.jpg", picture(6, 6));
    QFile text(path("notes.jpg")); // an image name, not an image
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are not pixels");
    text.close();
    QFile empty(path("empty.png"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    ASSERT_TRUE(QDir(fDir.path()).mkdir("sub.png"));

    AlbumArt art;
    art.searchForImages(fDir.path());
    EXPECT_EQ(sources(art.candidates()),
              (QStringList{"file:" + path("A.jpg") + ":99", "file:" + path("b.png") + ":99"}));
    art.searchForImages(path("missing"));
    art.searchForImage(path("notes.jpg"));
    EXPECT_EQ(art.count(), 2);
}

TEST_F(AlbumArtTest, PicturesKeepTheirPixelSizeWhateverResolutionTheyState) {
    QImage dense = picture(30, 20);
    dense.setDotsPerMeterX(11811); // 300 dpi
    dense.setDotsPerMeterY(3000);
    writeImage("dense.png", dense);
    writeImage("cover@2x.png", picture(30, 20)); // the reader takes a ratio from the name

    AlbumArt art;
    art.setImageFromFile(path("dense.png"), 99);
    art.setImageFromFile(path("cover@2x.png"), 99);
    QImage hiDpi = picture(30, 20);
    hiDpi.setDevicePixelRatio(3.0);
    art.imageDropped(QtPictureCodec::fromImage(hiDpi));
    for (const auto& c : art.candidates()) {
        const QImage image = QtPictureCodec::toImage(c->image());
        EXPECT_EQ(image.size(), QSize(30, 20));
        EXPECT_EQ(image.deviceIndependentSize(), QSizeF(30, 20));
        EXPECT_EQ(image.dotsPerMeterX(), image.dotsPerMeterY());
        EXPECT_EQ(c->sizeDescr(), "30 x 20");
    }
}

// Counts holds, so the tests see that every download took the image throttle.
class ImageHoldCounter : public WebThrottle {
public:
    ImageHoldCounter() : WebThrottle(QStringLiteral("Images"), 0.0) {}
    void lock() override {
        WebThrottle::lock();
        ++locks;
    }
    void unlock() override {
        ++unlocks;
        WebThrottle::unlock();
    }
    std::atomic<int> locks{0};
    std::atomic<int> unlocks{0};
};

class AlbumArtDownloadTest : public AlbumArtTest {
protected:
    void SetUp() override {
        fSaved = gImageThrottle;
        gImageThrottle = &fThrottle;
    }
    void TearDown() override {
        gImageThrottle = fSaved;
        AlbumArtTest::TearDown();
    }
    ImageHoldCounter fThrottle;
    WebThrottle* fSaved = nullptr;
    LoopbackServer fServer;
};

TEST_F(AlbumArtDownloadTest, DownloadsThroughTheImageThrottle) {
    QImage cover = picture(17, 11, Qt::magenta);
    const QByteArray png = pngBytes(cover);
    ASSERT_TRUE(png.contains('\0')); // bytes the Latin-1 round trip must keep
    fServer.serve("/cover.png", png.toStdString(), "image/png");
    fServer.serve("/garbage.jpg", "\xff\xd8\xff garbage", "image/jpeg");
    fServer.redirect("/moved.png", "/cover.png");

    AlbumArt art;
    art.addCandidates({AlbumArt::candidateFromURL(fServer.url("/cover.png"), 80)});
    art.addCandidates({AlbumArt::candidateFromURL(fServer.url("/missing.png"), 80)}); // 404 page
    art.addCandidates({AlbumArt::candidateFromURL(fServer.url("/garbage.jpg"), 80)});
    art.addCandidates({AlbumArt::candidateFromURL(fServer.url("/moved.png"), 60)});
    EXPECT_EQ(fThrottle.locks, 4);
    EXPECT_EQ(fThrottle.unlocks, 4);

    const AlbumArtDictArray list = art.candidates();
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.at(0)->location(), fServer.url("/cover.png"));
    EXPECT_EQ(list.at(0)->sourceDescr(), "Retrieved from internet");
    EXPECT_EQ(QtPictureCodec::toImage(list.at(0)->image()).convertToFormat(QImage::Format_RGB32),
              cover);
    // The address the hit named, not where it led.
    EXPECT_EQ(list.at(1)->location(), fServer.url("/moved.png"));
}

// A cover is used only when its download ended whole with a 2xx status and
// its picture is whole; each other case says why in the log.
TEST_F(AlbumArtDownloadTest, OnlyAWholeSuccessfulDownloadBecomesACover) {
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(picture(64, 64, Qt::magenta).save(&buffer, "JPG"));
    }
    const std::string whole = jpeg.toStdString();
    const std::string half = whole.substr(0, whole.size() / 2);
    fServer.serve("/whole.jpg", whole, "image/jpeg");
    fServer.serve("/truncated.jpg", half, "image/jpeg");
    fServer.handle("/error.jpg", [whole](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content(whole, "image/jpeg");
    });
    // Half the bytes, then the connection closes short of the length told.
    fServer.handle("/cut.jpg", [half, whole](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(whole.size(), "image/jpeg",
                                 [half](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) sink.write(half.data(), half.size());
                                     return offset == 0;
                                 });
    });
    // Half the bytes, then silence until the look-up's time is up.
    fServer.handle(
        "/stall.jpg", [this, half, whole](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(whole.size(), "image/jpeg",
                                     [this, half](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset == 0)
                                             return sink.write(half.data(), half.size());
                                         fServer.stall(std::chrono::seconds(10));
                                         return false;
                                     });
        });
    fServer.handle("/huge.jpg", [whole](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(WebLimits::kMaxCoverBytes + 1, "image/jpeg",
                                 [whole](size_t, size_t, httplib::DataSink& sink) {
                                     return sink.write(whole.data(), whole.size());
                                 });
    });
    struct Row {
        const char* path;
        const char* why; // null: used
    } rows[] = {{"/whole.jpg", nullptr},      {"/truncated.jpg", "not a whole picture"},
                {"/error.jpg", "status 500"}, {"/cut.jpg", "broke off"},
                {"/stall.jpg", "timed out"},  {"/huge.jpg", "answer too large"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        LogCapture log;
        AlbumArt art;
        {
            LookupDeadline deadline(std::chrono::seconds(1));
            art.addCandidates({AlbumArt::candidateFromURL(fServer.url(row.path), 80)});
        }
        EXPECT_EQ(art.count(), row.why ? 0 : 1);
        if (row.why) {
            EXPECT_TRUE(log.contains(QString::fromLatin1(row.why)));
        }
    }
}

TEST_F(AlbumArtDownloadTest, WorkerAddsWhileTheViewReads) {
    fServer.serve("/c.png", pngBytes(picture(4, 4)).toStdString(), "image/png");
    AlbumArt art;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            art.addCandidates({AlbumArt::candidateFromURL(fServer.url("/c.png"), i)});
            art.setImageFromImage(QtPictureCodec::fromImage(picture(2, 2)), "drop", QString(), 101);
        }
        done = true;
    });
    while (!done) {
        art.next();
        (void)art.shownImage();
        (void)art.candidates();
    }
    worker.join();
    EXPECT_EQ(art.count(), 40);
    const AlbumArtDictArray list = art.candidates();
    for (qsizetype i = 1; i < list.count(); ++i)
        EXPECT_GE(list.at(i - 1)->score(), list.at(i)->score());
}

} // namespace

TEST_F(AlbumArtTest, FolderSearchTriesImageNamesOfAtMostFiftyMegabytes) {
    constexpr qint64 kLimit = 50LL * 1024 * 1024;
    struct Row {
        const char* name;
        qint64 size; // 0: as written; else grown (sparse) to this many bytes
        bool taken;
    };
    const QList<Row> rows{
        {"cover", 0, false},         // a picture, but no image name
        {"cover.png.bak", 0, false}, // likewise
        {"FRONT.PNG", 0, true},      // names compare without case
        {"limit.png", kLimit, true}, // the limit itself is allowed
        {"huge.png", kLimit + 1, false},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(picture(8, 6).save(path(row.name), "PNG"));
        if (row.size) {
            ASSERT_TRUE(QFile::resize(path(row.name), row.size));
        }
    }
    AlbumArt art;
    art.searchForImages(fDir.path());
    QStringList expected;
    for (const Row& row : rows)
        if (row.taken) expected << "file:" + path(row.name) + ":99";
    expected.sort(Qt::CaseInsensitive);
    EXPECT_EQ(sources(art.candidates()), expected);
    // The size comes from the file's header; the pixels when shown.
    EXPECT_EQ(art.sizeText(), "8 x 6");
    EXPECT_EQ(art.shownImage().size(), QSize(8, 6));
}
