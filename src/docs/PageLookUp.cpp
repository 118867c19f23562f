#include "docs/PageLookUp.h"

#include "web/sources/MusicSources.h"

namespace {

constexpr PageLookUp::What kWhats[] = {PageLookUp::What::Artist, PageLookUp::What::Album,
                                       PageLookUp::What::OldTitle, PageLookUp::What::NewTitle};

} // namespace

QList<PageLookUp> PageLookUp::all() {
    QList<PageLookUp> lookUps;
    for (const MusicSource* source : MusicSources::all())
        if (source->hasSearchPages())
            for (const What what : kWhats)
                lookUps.append({source, what});
    return lookUps;
}

QList<PageLookUp> PageLookUp::ofFirstSite() {
    return all().mid(0, std::size(kWhats));
}

MusicSource::PageSubject PageLookUp::subject() const {
    switch (what) {
    case What::Artist:
        return MusicSource::PageSubject::Artist;
    case What::Album:
        return MusicSource::PageSubject::Album;
    case What::OldTitle:
    case What::NewTitle:
        break;
    }
    return MusicSource::PageSubject::Song;
}

QString PageLookUp::plainTitle() const {
    static const char* const kWords[] = {"artist", "album", "old title", "new title"};
    return titleFor(QLatin1String(kWords[int(what)]));
}

QString PageLookUp::titleFor(const QString& text) const {
    return QStringLiteral("Look up %1 on %2").arg(text, site ? site->name() : QString());
}
