#include "support/OutcomeChecks.h"
#include "system/FolderLock.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// A held folder is Busy (not Failed: nothing went wrong, it may be tried
// again), a folder that cannot be opened is Failed, and either says why.
TEST(FolderLock, ASecondLockIsBusyUntilTheFirstEnds) {
    QTemporaryDir dir;
    FolderLock first;
    ASSERT_TRUE(isDone(first.tryLock(dir.path())));

    FolderLock second;
    const Outcome busy = second.tryLock(dir.path());
    EXPECT_EQ(busy.code, Outcome::Code::Busy);
    EXPECT_FALSE(busy.reason.isEmpty());
    EXPECT_FALSE(second.locked());

    first.unlock();
    EXPECT_TRUE(isDone(second.tryLock(dir.path())));

    const Outcome missing = FolderLock().tryLock(dir.filePath(QStringLiteral("gone")));
    EXPECT_EQ(missing.code, Outcome::Code::Failed);
    EXPECT_TRUE(missing.reason.startsWith(u"The folder could not be opened for saving: "))
        << missing.reason.toStdString();
}
