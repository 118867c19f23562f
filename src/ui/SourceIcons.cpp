#include "ui/SourceIcons.h"

#include "app/Preferences.h"
#include "app/Resources.h"
#include "system/Log.h"
#include "web/GrabWebPage.h"

#include <QLinearGradient>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>

#include <thread>

namespace {

// Favicons are small; a site that does not answer soon is not worth waiting for.
constexpr int kFetchTimeLimitSecs = 15;

} // namespace

SourceIcons* SourceIcons::instance() {
    // Lives for the whole process, like the throttles: the fetch thread may
    // still be running at exit.
    static SourceIcons* icons = new SourceIcons;
    return icons;
}

SourceIcons::SourceIcons() {
    fIcons[AMG] = bundledImage(QStringLiteral("AMG Icon.ico"));
    fIcons[Google] = bundledImage(QStringLiteral("Google Icon.ico"));
    fIcons[Gnudb] = bundledImage(QStringLiteral("Gnudb Icon.jpg"));
    fIcons[FileNames] = bundledImage(QStringLiteral("File Name Icon.jpg"));
    fIcons[Tags] = bundledImage(QStringLiteral("Tags Icon.jpg"));
    fIcons[MusicBrainz] = bundledImage(QStringLiteral("MusicBrainzIcon.png"));
}

void SourceIcons::InitIcons(bool fetch) {
    SourceIcons* icons = instance();
    static bool started = false;
    if (!fetch || started) return;
    started = true;
    struct Site {
        Source source;
        QString base;
    };
    const QList<Site> sites{{AMG, Prefs::stringValue(Prefs::kAMGBaseURL)},
                            {Google, Prefs::stringValue(Prefs::kGoogleBaseURL)},
                            {Gnudb, Prefs::stringValue(Prefs::kGnudbBaseURL)}};
    std::thread([icons, sites] {
        for (const Site& site : sites) {
            if (site.base.isEmpty()) continue;
            QString url = site.base + QStringLiteral("/favicon.ico");
            const std::optional<QString> page =
                GrabWebPage(url, nullptr, kFetchTimeLimitSecs, nullptr);
            if (!page) continue;
            const QByteArray bytes = page->toLatin1();
            const Source source = site.source;
            QMetaObject::invokeMethod(
                icons, [icons, source, bytes] { icons->setFetchedIcon(source, bytes); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void SourceIcons::setFetchedIcon(Source source, const QByteArray& bytes) {
    QImage image = QImage::fromData(bytes);
    if (image.isNull()) {
        TROVIX_LOG() << "Site icon" << int(source) << "did not decode; using the bundled one";
        return;
    }
    {
        QMutexLocker locker(&fMutex);
        fIcons[source] = image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    emit iconsChanged();
}

QImage SourceIcons::icon(Source source) const {
    QMutexLocker locker(&fMutex);
    return fIcons[source];
}

QImage SourceIcons::iconForKey(const QString& iadbKey) const {
    if (iadbKey.startsWith(QLatin1String("#FILES:"))) return icon(FileNames);
    if (iadbKey.startsWith(QLatin1String("#TAG:"))) return icon(Tags);
    if (iadbKey.startsWith(QLatin1String("#AMG:"))) return icon(AMG);
    if (iadbKey.startsWith(QLatin1String("#GOOG:"))) return icon(Google);
    if (iadbKey.startsWith(QLatin1String("#GNU:"))) return icon(Gnudb);
    if (iadbKey.startsWith(QLatin1String("#MB:"))) return icon(MusicBrainz);
    return {};
}

QImage SourceIcons::drawBadge(const QString& text, QColor background, QColor foreground) {
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p.fillPath(path, background);
    QFont font;
    font.setPixelSize(text.size() > 1 ? 8 : 12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(foreground);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    return img;
}

QImage SourceIcons::bundledImage(const QString& name) {
    if (name == QLatin1String("AMG Icon.ico"))
        return drawBadge(QStringLiteral("AM"), QColor(0x1f, 0x4e, 0x8c), Qt::white);
    if (name == QLatin1String("Google Icon.ico"))
        return drawBadge(QStringLiteral("G"), Qt::white, QColor(0x42, 0x85, 0xf4));
    if (name == QLatin1String("Gnudb Icon.jpg"))
        return drawBadge(QStringLiteral("gn"), QColor(0x2e, 0x7d, 0x32), Qt::white);
    if (name == QLatin1String("File Name Icon.jpg"))
        return drawBadge(QStringLiteral("Fn"), QColor(0xf2, 0xc1, 0x4e), Qt::black);
    if (name == QLatin1String("Tags Icon.jpg"))
        return drawBadge(QStringLiteral("Tg"), QColor(0x8e, 0x44, 0xad), Qt::white);
    if (name == QLatin1String("MusicBrainzIcon.png")) {
        const QImage shipped(resourcePath(name));
        return shipped.isNull()
                   ? drawBadge(QStringLiteral("MB"), QColor(0xe8, 0x90, 0x2a), Qt::black)
                   : shipped;
    }
    if (name == QLatin1String("Relevance.tif")) {
        // Wide enough for any column; bars are cut from its left part.
        QImage img(1000, 10, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&img);
        QLinearGradient gradient(0, 0, 0, 10);
        gradient.setColorAt(0, QColor(0x9c, 0xc3, 0xf0));
        gradient.setColorAt(0.5, QColor(0x3b, 0x7d, 0xd8));
        gradient.setColorAt(1, QColor(0x1d, 0x4f, 0x9c));
        p.fillRect(img.rect(), gradient);
        return img;
    }
    return {};
}

QImage SourceIcons::relevanceImage(int score, int columnWidth) {
    static const QImage relevance = bundledImage(QStringLiteral("Relevance.tif"));
    const int barWidth = qMax(0, columnWidth - 4) * qBound(0, score, 100) / 100;
    if (barWidth <= 0) return {};
    // copy() cuts; past the picture's edge it pads with transparency.
    return relevance.copy(0, 0, barWidth, 10);
}
