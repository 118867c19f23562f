#include "ui/SourceIcons.h"

#include "app/Preferences.h"
#include "system/Resources.h"
#include "system/Log.h"
#include "system/QueuedCall.h"
#include "web/GrabWebPage.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"
#include "web/sources/ResultKeys.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <thread>

namespace {

// Favicons are small; a site that does not answer soon is not worth waiting for.
constexpr int kFetchTimeLimitSecs = 15;

const QString kFileNamesIcon = QStringLiteral("File Name Icon.jpg");
const QString kTagsIcon = QStringLiteral("Tags Icon.jpg");
const MusicSource::Badge kFileNamesBadge{QStringLiteral("Fn"), 0xf2c14e, 0x000000};
const MusicSource::Badge kTagsBadge{QStringLiteral("Tg"), 0x8e44ad, 0xffffff};

// A badge painted as vectors into whatever rectangle it is given, so it is
// sharp at any pixel density.
void paintBadge(QPainter* p, const QRectF& r, const MusicSource::Badge& badge) {
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->translate(r.topLeft());
    p->scale(r.width() / 16.0, r.height() / 16.0);
    QPainterPath path;
    path.addRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    p->fillPath(path, QColor::fromRgb(badge.background));
    QFont font;
    font.setPixelSize(badge.text.size() > 1 ? 8 : 12);
    font.setBold(true);
    p->setFont(font);
    p->setPen(QColor::fromRgb(badge.foreground));
    p->drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, badge.text);
    p->restore();
}

class BadgeEngine : public QIconEngine {
public:
    explicit BadgeEngine(MusicSource::Badge badge) : fBadge(std::move(badge)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        const int side = qMin(rect.width(), rect.height());
        QRect square(0, 0, side, side);
        square.moveCenter(rect.center());
        paintBadge(painter, square, fBadge);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new BadgeEngine(fBadge); }

private:
    MusicSource::Badge fBadge;
};

} // namespace

SourceIcons* SourceIcons::instance() {
    // Lives for the whole process, like the throttles: the fetch thread may
    // still be running at exit.
    static SourceIcons* icons = new SourceIcons;
    return icons;
}

SourceIcons::SourceIcons() {
    fLocal[FileNames] = bundledImage(kFileNamesIcon);
    fLocal[Tags] = bundledImage(kTagsIcon);
    fBadges.insert(kFileNamesIcon, kFileNamesBadge);
    fBadges.insert(kTagsIcon, kTagsBadge);
    for (const MusicSource* source : MusicSources::all()) {
        if (source->iconName().isEmpty()) continue;
        fSites.insert(source->name(), bundledImage(source->iconName()));
        if (resourcePath(source->iconName()).isNull())
            fBadges.insert(source->name(), source->badge());
    }
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
        fBadges.remove(sourceName);
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

QString SourceIcons::nameForKey(const QString& resultKey) {
    if (resultKey.startsWith(ResultKeys::kFilesPrefix)) return kFileNamesIcon;
    if (resultKey.startsWith(ResultKeys::kTagPrefix)) return kTagsIcon;
    // Keys without a prefix say too little to show a site's icon.
    const MusicSource* source = MusicSources::forKey(resultKey);
    return source && !source->iconName().isEmpty() ? source->name() : QString();
}

QImage SourceIcons::iconForKey(const QString& resultKey) const {
    const QString name = nameForKey(resultKey);
    if (name == kFileNamesIcon) return icon(FileNames);
    if (name == kTagsIcon) return icon(Tags);
    return name.isNull() ? QImage() : icon(name);
}

QIcon SourceIcons::decorationFor(const QString& name) const {
    if (name.isNull()) return {};
    QMutexLocker locker(&fMutex);
    const auto badge = fBadges.constFind(name);
    if (badge != fBadges.constEnd()) return QIcon(new BadgeEngine(*badge));
    const QImage image = name == kFileNamesIcon ? fLocal[FileNames]
                         : name == kTagsIcon    ? fLocal[Tags]
                                                : fSites.value(name);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

QIcon SourceIcons::decoration(Local kind) const {
    return decorationFor(kind == FileNames ? kFileNamesIcon : kTagsIcon);
}

QIcon SourceIcons::decorationForKey(const QString& resultKey) const {
    return decorationFor(nameForKey(resultKey));
}

QImage SourceIcons::drawBadge(const MusicSource::Badge& badge) {
    QImage img(16, 16, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintBadge(&p, QRectF(0, 0, 16, 16), badge);
    return img;
}

QImage SourceIcons::bundledImage(const QString& name) {
    if (name == kFileNamesIcon) return drawBadge(kFileNamesBadge);
    if (name == kTagsIcon) return drawBadge(kTagsBadge);
    if (name.isEmpty()) return {};
    for (const MusicSource* source : MusicSources::all()) {
        if (source->iconName() != name) continue;
        // A path only when the picture is shipped: an empty one would make
        // the image reader warn about a file without a name.
        const QString path = resourcePath(name);
        const QImage shipped = path.isNull() ? QImage() : QImage(path);
        return shipped.isNull() ? drawBadge(source->badge()) : shipped;
    }
    return {};
}

void SourceIcons::paintRelevance(QPainter* painter, const QRect& cell, int score,
                                 const QPalette& palette) {
    // The bar sits in the cell's width inset by 2, its length scaled by the
    // score, 10 pixels high and centred.
    const int width = qMax(0, cell.width() - 4) * qBound(0, score, 100) / 100;
    if (width <= 0) return;
    const QRectF bar(cell.left() + 2, cell.top() + (cell.height() - 10) / 2.0, width, 10);
    const QColor highlight = palette.color(QPalette::Highlight);
    QLinearGradient gradient(bar.topLeft(), bar.bottomLeft());
    gradient.setColorAt(0, highlight.lighter(150));
    gradient.setColorAt(0.5, highlight);
    gradient.setColorAt(1, highlight.darker(150));
    painter->fillRect(bar, gradient);
}
