#include "system/Resources.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Resources, EnvironmentFolderComesFirst) {
    QTemporaryDir dir;
    QFile file(dir.filePath(u"SmartCapExclusionList.txt"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    const QString shipped = resourcePath(u"SmartCapExclusionList.txt"_s);
    ASSERT_FALSE(shipped.isNull()); // the build tree's copy

    qputenv("TROVIX_RESOURCE_DIR", dir.path().toLocal8Bit());
    EXPECT_EQ(resourcePath(u"SmartCapExclusionList.txt"_s), file.fileName());
    // A file the folder lacks is still found further down the list.
    qputenv("TROVIX_RESOURCE_DIR", dir.filePath(u"empty"_s).toLocal8Bit());
    EXPECT_EQ(resourcePath(u"SmartCapExclusionList.txt"_s), shipped);
    qunsetenv("TROVIX_RESOURCE_DIR");

    EXPECT_TRUE(resourcePath(u"NoSuchResource.txt"_s).isNull());
    EXPECT_TRUE(resourcePath(QString()).isNull());
}
