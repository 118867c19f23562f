// Opening the picture codec module as the command line does: a module that
// is missing or is none gives a reason and no codec; the real one decodes
// and encodes as the linked codec does.
#include "system/PictureCodec.h"

#include "pictures/QtPictureCodec.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

TEST(PictureCodecModule, OpensOnlyAModuleThatIsACodecAndSaysWhyNot) {
    QTemporaryDir dir;
    const QString notALibrary = dir.filePath(QStringLiteral("trovix_pictures.so"));
    QFile text(notALibrary);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a shared object\n");
    text.close();
    QImage red(6, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QByteArray png =
        QtPictureCodec::instance().encode(QtPictureCodec::fromImage(red), "png", -1, nullptr);
    ASSERT_FALSE(png.isEmpty());

    struct Row {
        QString path;
        bool opens;
    };
    const Row rows[] = {
        {dir.filePath(QStringLiteral("missing/trovix_pictures.so")), false},
        {notALibrary, false},
        // A shared library, but without the codec's entry point.
        {QStringLiteral("libz.so.1"), false},
        {QStringLiteral(TROVIX_PICTURE_MODULE_PATH), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        QString why;
        const PictureCodec* codec = PictureCodecs::openModule(row.path, &why);
        EXPECT_EQ(codec != nullptr, row.opens);
        EXPECT_EQ(why.isEmpty(), row.opens) << why.toStdString();
        if (!codec) continue;
        EXPECT_NE(codec, &QtPictureCodec::instance()); // its own copy, not the linked one
        const Picture decoded = codec->decode(png, "png");
        EXPECT_EQ(decoded.size(), QSize(6, 4));
        EXPECT_EQ(codec->scaled(decoded, QSize(3, 2)).size(), QSize(3, 2));
        QString error;
        const QByteArray jpeg = codec->encode(decoded, "jpeg", 90, &error);
        EXPECT_TRUE(jpeg.startsWith("\xFF\xD8\xFF")) << error.toStdString();
        EXPECT_TRUE(codec->readableFormats().contains("png"));
    }
}
