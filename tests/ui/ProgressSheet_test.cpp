#include "ui/ProgressSheet.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <thread>

namespace {

// Runs queued events until the predicate holds (bounded).
template <typename Pred>
bool processUntil(Pred pred, int ms = 5000) {
    return QTest::qWaitFor(pred, ms);
}

} // namespace

TEST(ProgressSheet, PhasesFromAWorkerThreadReachTheSheet) {
    QWidget window;
    window.show();
    ProgressSheet sheet(&window);
    std::thread worker([&] {
        sheet.NotifyBeginDet(QStringLiteral("Scanning files..."), 0, 10, true);
        for (int i = 0; i < 4; ++i) sheet.NotifyBump(1);
    });
    worker.join();
    ASSERT_TRUE(processUntil([&] { return sheet.bar()->value() == 4; }));
    EXPECT_TRUE(sheet.isOpen());
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet.caption(), QStringLiteral("Scanning files..."));
    EXPECT_FALSE(sheet.isIndeterminate());
    EXPECT_TRUE(sheet.cancelButton()->isEnabled());
    EXPECT_EQ(sheet.bar()->maximum(), 10);

    // An indeterminate phase that cannot be cancelled; an empty text keeps
    // the caption.
    sheet.NotifyBeginInd(QString(), false);
    EXPECT_TRUE(sheet.isIndeterminate());
    EXPECT_FALSE(sheet.cancelButton()->isEnabled());
    EXPECT_EQ(sheet.caption(), QStringLiteral("Scanning files..."));
    EXPECT_EQ(sheet.bar()->maximum(), 0);
}

TEST(ProgressSheet, CancelIsSeenByTheWorkerAndClearedByTheNextPhase) {
    QWidget window;
    window.show();
    ProgressSheet sheet(&window);
    sheet.NotifyBeginInd(QStringLiteral("Searching gnudb..."), true);
    EXPECT_FALSE(sheet.cancelled());
    QTest::mouseClick(sheet.cancelButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.caption(), QStringLiteral("Cancelling..."));

    bool seen = false;
    std::thread worker([&] {
        seen = sheet.cancelled();
        // A new phase starts without the old cancel, at once in this thread.
        sheet.NotifyBeginInd(QStringLiteral("Searching FreeDB..."), true);
        EXPECT_FALSE(sheet.cancelled());
    });
    worker.join();
    EXPECT_TRUE(seen);
}

TEST(ProgressSheet, AClosedSheetIgnoresLaterRequests) {
    QWidget window;
    window.show();
    ProgressSheet sheet(&window);
    sheet.NotifyBeginDet(QStringLiteral("Fetching album details..."), 0, 3, false);
    sheet.closeSheet();
    EXPECT_FALSE(sheet.isVisible());
    sheet.NotifyBeginInd(QStringLiteral("late"), true);
    sheet.NotifyBump(2);
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.caption(), QStringLiteral("Fetching album details..."));
    EXPECT_EQ(sheet.bar()->value(), 0);
}

TEST(ProgressSheet, RequestsQueuedForADeletedSheetAreDropped) {
    QWidget window;
    auto* sheet = new ProgressSheet(&window);
    std::thread worker([&] { sheet->NotifyBump(1); });
    worker.join();
    delete sheet;
    QCoreApplication::processEvents(); // must not touch the deleted sheet
    SUCCEED();
}
