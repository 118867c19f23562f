#include "ui/SourceIcons.h"

#include "app/Preferences.h"
#include "system/Resources.h"
#include "system/Log.h"
#include "system/QueuedCall.h"
#include "web/GrabWebPage.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"

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
    fLocal[FileNames] = bundledImage(QStringLiteral("File Name Icon.jpg"));
    fLocal[Tags] = bundledImage(QStringLiteral("Tags Icon.jpg"));
    for (const MusicSource* source : MusicSources::all())
        if (!source->iconName().isEmpty())
            fSites.insert(source->name(), bundledImage(source->iconName()));
}

void SourceIcons::InitIcons(bool fetch) {
    SourceIcons* icons = instance();
    static bool started = false;
    if (!fetch || started) return;
    started = true;
    struct Site {
        QString name;
        QString base;
    };
    QList<Site> sites;
    for (const MusicSource* source : MusicSources::all())
        if (source->fetchesFavicon() && !source->iconName().isEmpty())
            sites.append({source->name(), Prefs::stringValue(source->baseURLKey())});
    std::thread([icons, sites] {
        for (const Site& site : sites) {
            if (site.base.isEmpty()) continue;
            QString url = site.base + QStringLiteral("/favicon.ico");
            const std::optional<QString> page =
                GrabWebPage(url, nullptr, kFetchTimeLimitSecs, nullptr);
            if (!page) continue;
            const QByteArray bytes = page->toLatin1();
            const QString name = site.name;
            QueuedCall::post(icons, [icons, name, bytes] { icons->setFetchedIcon(name, bytes); });
        }
    }).detach();
}

void SourceIcons::setFetchedIcon(const QString& sourceName, const QByteArray& bytes) {
    QImage image = QImage::fromData(bytes);
    if (image.isNull()) {
        TROVIX_LOG() << "Site icon of" << sourceName << "did not decode; using the bundled one";
        return;
    }
    {
        QMutexLocker locker(&fMutex);
        fSites.insert(sourceName,
                      image.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    emit iconsChanged();
}

void SourceIcons::customEvent(QEvent* event) {
    if (!QueuedCall::run(event)) QObject::customEvent(event);
}

QImage SourceIcons::icon(Local kind) const {
    QMutexLocker locker(&fMutex);
    return fLocal[kind];
}

QImage SourceIcons::icon(const QString& sourceName) const {
    QMutexLocker locker(&fMutex);
    return fSites.value(sourceName);
}

QImage SourceIcons::iconForKey(const QString& resultKey) const {
    if (resultKey.startsWith(ResultKeys::kFilesPrefix)) return icon(FileNames);
    if (resultKey.startsWith(ResultKeys::kTagPrefix)) return icon(Tags);
    // Keys without a prefix say too little to show a site's icon.
    const MusicSource* source = MusicSources::forKey(resultKey);
    return source ? icon(source->name()) : QImage();
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
    if (name == QLatin1String("File Name Icon.jpg"))
        return drawBadge(QStringLiteral("Fn"), QColor(0xf2, 0xc1, 0x4e), Qt::black);
    if (name == QLatin1String("Tags Icon.jpg"))
        return drawBadge(QStringLiteral("Tg"), QColor(0x8e, 0x44, 0xad), Qt::white);
    if (!name.isEmpty()) {
        for (const MusicSource* source : MusicSources::all()) {
            if (source->iconName() != name) continue;
            const QImage shipped(resourcePath(name));
            if (!shipped.isNull()) return shipped;
            const MusicSource::Badge badge = source->badge();
            return drawBadge(badge.text, QColor::fromRgb(badge.background),
                             QColor::fromRgb(badge.foreground));
        }
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
