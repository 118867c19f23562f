#include "cli/JsonOutput.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace JsonOutput {

QJsonObject toJson(const FolderView& v) {
    QJsonObject album{{"artist", v.artist}, {"album", v.album}, {"year", v.year}, {"genre", v.genre}};
    QJsonArray tracks;
    for (const FolderView::Track& t : v.tracks) {
        const QJsonObject status{{"A", StatusDecisions::colorName(t.status.A)},
                                 {"F", StatusDecisions::colorName(t.status.F)},
                                 {"I", StatusDecisions::colorName(t.status.I)},
                                 {"T", StatusDecisions::colorName(t.status.T)},
                                 {"Num", StatusDecisions::colorName(t.status.Num)}};
        tracks.append(QJsonObject{{"file", t.file},
                                  {"path", t.path},
                                  {"oldTitle", t.oldTitle},
                                  {"newTitle", t.newTitle},
                                  {"newArtist", t.newArtist},
                                  {"newTrack", t.newTrack},
                                  {"newFileName", t.newFileName},
                                  {"placeholder", t.placeholder},
                                  {"status", status}});
    }
    QJsonArray hits;
    for (const FolderView::Hit& h : v.hits)
        hits.append(QJsonObject{{"key", h.key},
                                {"source", h.source},
                                {"artist", h.artist},
                                {"album", h.album},
                                {"year", h.year},
                                {"genre", h.genre},
                                {"score", h.score},
                                {"tracks", h.tracks}});
    QJsonArray alerts;
    for (const Alert& a : v.alerts)
        alerts.append(QJsonObject{{"title", a.title},
                                  {"message", a.message},
                                  {"buttons", QJsonArray::fromStringList(a.buttons)}});
    return QJsonObject{{"folder", v.folder},
                       {"album", album},
                       {"variousArtists", v.variousArtists},
                       {"tracks", tracks},
                       {"hits", hits},
                       {"chosenHit", v.chosenHit >= 0 ? QJsonValue(v.chosenHit) : QJsonValue()},
                       {"alerts", alerts},
                       {"saved", v.saved}};
}

QByteArray format(const FolderView& view) {
    return QJsonDocument(toJson(view)).toJson(QJsonDocument::Indented);
}

} // namespace JsonOutput
