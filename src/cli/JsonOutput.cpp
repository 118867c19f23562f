#include "cli/JsonOutput.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonObject statusJson(const StatusRow& row) {
    return QJsonObject{{"A", StatusDecisions::colorName(row.A)},
                       {"F", StatusDecisions::colorName(row.F)},
                       {"I", StatusDecisions::colorName(row.I)},
                       {"T", StatusDecisions::colorName(row.T)},
                       {"Num", StatusDecisions::colorName(row.Num)}};
}

QJsonArray alertsJson(const QList<Alert>& list) {
    QJsonArray alerts;
    for (const Alert& a : list)
        alerts.append(QJsonObject{{"title", a.title},
                                  {"message", a.message},
                                  {"buttons", QJsonArray::fromStringList(a.buttons)}});
    return alerts;
}

QJsonArray partsJson(const MatchDistance& distance) {
    QJsonArray parts;
    for (const MatchDistance::Part& p : distance.parts())
        parts.append(QJsonObject{{"name", p.name},
                                 {"value", p.value},
                                 {"weight", p.weight},
                                 {"share", p.share},
                                 {"why", p.why}});
    return parts;
}

QJsonObject fieldsJson(const FileView::Fields& f) {
    return QJsonObject{{"title", f.title},   {"track", f.track}, {"count", f.count},
                       {"artist", f.artist}, {"album", f.album}, {"year", f.year},
                       {"genre", f.genre}};
}

} // namespace

namespace JsonOutput {

QJsonObject toJson(const FolderView& v) {
    const auto orNull = [](const QString& s) { return s.isNull() ? QJsonValue() : QJsonValue(s); };
    QJsonObject album{{"artist", v.artist},
                      {"albumArtist", orNull(v.albumArtist)},
                      {"album", v.album},
                      {"year", v.year},
                      {"genre", v.genre}};
    QJsonArray tracks;
    for (const FolderView::Track& t : v.tracks) {
        const QJsonObject status = statusJson(t.status);
        tracks.append(QJsonObject{{"file", t.file},
                                  {"path", t.path},
                                  {"oldTitle", t.oldTitle},
                                  {"newTitle", t.newTitle},
                                  {"newArtist", t.newArtist},
                                  {"newTrack", t.newTrack},
                                  {"newDisc", orNull(t.newDisc)},
                                  {"newFileName", t.newFileName},
                                  {"placeholder", t.placeholder},
                                  {"status", status}});
    }
    QJsonArray hits;
    for (const FolderView::Hit& h : v.hits)
        hits.append(
            QJsonObject{{"key", h.key},
                        {"source", h.source},
                        {"artist", h.artist},
                        {"album", h.album},
                        {"year", h.year},
                        {"genre", h.genre},
                        {"score", h.score},
                        {"tracks", h.tracks},
                        {"distance", h.distance ? QJsonValue(h.distance->value()) : QJsonValue()},
                        {"parts", h.distance ? QJsonValue(partsJson(*h.distance)) : QJsonValue()}});
    const QJsonArray alerts = alertsJson(v.alerts);
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

QJsonObject toJson(const FileView& v) {
    QJsonArray hits;
    for (const FileView::Hit& h : v.hits)
        hits.append(QJsonObject{{"key", h.key},
                                {"source", h.source},
                                {"title", h.title},
                                {"artist", h.artist},
                                {"album", h.album},
                                {"year", h.year},
                                {"genre", h.genre},
                                {"track", h.track},
                                {"relevance", h.score},
                                {"status", statusJson(h.status)}});
    QJsonObject json{{"file", v.file},
                     {"fields", fieldsJson(v.fields)},
                     {"status", statusJson(v.status)},
                     {"newFileName", v.newFileName},
                     {"hits", hits},
                     {"chosenHit", v.chosenHit >= 0 ? QJsonValue(v.chosenHit) : QJsonValue()},
                     {"alerts", alertsJson(v.alerts)},
                     {"saved", v.saved}};
    if (v.onDisk) {
        QJsonObject disk = fieldsJson(*v.onDisk);
        disk.insert("path", v.onDiskPath);
        json.insert("onDisk", disk);
    }
    return json;
}

QByteArray format(const FileView& view) {
    return QJsonDocument(toJson(view)).toJson(QJsonDocument::Indented);
}

} // namespace JsonOutput
