#include "cli/JsonOutput.h"

#include <QLocale>

#include <algorithm>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <vector>

namespace {

// Writes what QJsonDocument::toJson(QJsonDocument::Indented) writes for the
// same values, straight from the views: building QJsonObjects first and
// writing them out took two fifths of opening a folder of a thousand files.
class Writer {
public:
    // `expected`: about how long the text will be, so that it is not
    // copied over and over as it grows.
    explicit Writer(qsizetype expected = 0) { fOut.reserve(expected); }

    // One member of an object: its key, and what writes its value.
    struct Member {
        const char* key;
        std::function<void()> value;
    };

    // Members in the order a QJsonObject keeps them, by key; one without
    // a key is left out.
    void object(std::initializer_list<Member> members) {
        std::vector<const Member*> sorted;
        sorted.reserve(members.size());
        for (const Member& m : members)
            if (m.key) sorted.push_back(&m);
        std::sort(sorted.begin(), sorted.end(),
                  [](const Member* a, const Member* b) { return std::strcmp(a->key, b->key) < 0; });
        open('{');
        for (const Member* m : sorted) {
            next();
            fOut += '"';
            fOut += m->key;
            fOut += "\": ";
            m->value();
        }
        close('}');
    }
    template <typename List, typename Each> void array(const List& list, Each each) {
        open('[');
        for (const auto& element : list) {
            next();
            each(element);
        }
        close(']');
    }
    void string(QStringView s);
    void stringOrNull(const QString& s) { s.isNull() ? null() : string(s); }
    void boolean(bool b) { fOut += b ? "true" : "false"; }
    void integer(qint64 n) { fOut += QByteArray::number(n); }
    void number(double d) {
        if (qIsFinite(d))
            fOut += QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
        else
            null();
    }
    void null() { fOut += "null"; }

    // The document, ending in a line feed.
    QByteArray result() { return std::move(fOut) + '\n'; }

private:
    void open(char bracket) {
        fOut += bracket;
        fOut += '\n';
        fFirst.push_back(true);
    }
    // Before each element: the comma after the one before, and the indent.
    void next() {
        if (!fFirst.back()) fOut += ",\n";
        fFirst.back() = false;
        indent();
    }
    void close(char bracket) {
        if (!fFirst.back()) fOut += '\n';
        fFirst.pop_back();
        indent();
        fOut += bracket;
    }
    void indent() {
        static constexpr QByteArrayView kSpaces = "                                ";
        for (qsizetype n = qsizetype(4 * fFirst.size()); n > 0; n -= kSpaces.size())
            fOut += kSpaces.first(qMin(n, kSpaces.size()));
    }

    QByteArray fOut;
    std::vector<bool> fFirst; // per open object or array: nothing in it yet
};

// As Qt escapes: quotes, backslashes and control characters; anything else
// as UTF-8, a lone surrogate as its \u escape.
void Writer::string(QStringView s) {
    static constexpr char kHex[] = "0123456789abcdef";
    fOut += '"';
    const char16_t* p = s.utf16();
    const char16_t* const end = p + s.size();
    while (p != end) {
        // A run that needs no escape, in one step.
        const char16_t* run = p;
        while (p != end && *p >= 0x20 && *p < 0x80 && *p != u'"' && *p != u'\\')
            ++p;
        const qsizetype at = fOut.size();
        fOut.resize(at + (p - run));
        for (char* d = fOut.data() + at; run != p;)
            *d++ = char(*run++);
        if (p == end) break;
        const char16_t u = *p++;
        if (u < 0x80) {
            fOut += '\\';
            switch (u) {
            case u'"':
                fOut += '"';
                break;
            case u'\\':
                fOut += '\\';
                break;
            case 0x8:
                fOut += 'b';
                break;
            case 0xc:
                fOut += 'f';
                break;
            case 0xa:
                fOut += 'n';
                break;
            case 0xd:
                fOut += 'r';
                break;
            case 0x9:
                fOut += 't';
                break;
            default:
                fOut += "u00";
                fOut += kHex[u >> 4];
                fOut += kHex[u & 0xf];
            }
        } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
            const char32_t c = QChar::surrogateToUcs4(u, *p++);
            fOut += char(0xf0 | (c >> 18));
            fOut += char(0x80 | ((c >> 12) & 0x3f));
            fOut += char(0x80 | ((c >> 6) & 0x3f));
            fOut += char(0x80 | (c & 0x3f));
        } else if (QChar::isSurrogate(u)) {
            fOut += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                fOut += kHex[(u >> shift) & 0xf];
        } else if (u < 0x800) {
            fOut += char(0xc0 | (u >> 6));
            fOut += char(0x80 | (u & 0x3f));
        } else {
            fOut += char(0xe0 | (u >> 12));
            fOut += char(0x80 | ((u >> 6) & 0x3f));
            fOut += char(0x80 | (u & 0x3f));
        }
    }
    fOut += '"';
}

void status(Writer& w, const StatusRow& row) {
    auto color = [&w](StatusColor c) {
        return [&w, c] { w.string(StatusDecisions::colorName(c)); };
    };
    w.object({{"A", color(row.A)},
              {"F", color(row.F)},
              {"I", color(row.I)},
              {"T", color(row.T)},
              {"Num", color(row.Num)}});
}

void alerts(Writer& w, const QList<Alert>& list) {
    w.array(list, [&w](const Alert& a) {
        w.object(
            {{"title", [&] { w.string(a.title); }},
             {"message", [&] { w.string(a.message); }},
             {"buttons", [&] { w.array(a.buttons, [&w](const QString& b) { w.string(b); }); }}});
    });
}

void parts(Writer& w, const MatchDistance& distance) {
    w.array(distance.parts(), [&w](const MatchDistance::Part& p) {
        w.object({{"name", [&] { w.string(p.name); }},
                  {"value", [&] { w.number(p.value); }},
                  {"weight", [&] { w.number(p.weight); }},
                  {"share", [&] { w.number(p.share); }},
                  {"why", [&] { w.string(p.why); }}});
    });
}

// A file's fields; after a save, with the path it was read back from.
void fields(Writer& w, const FileView::Fields& f, const QString* path = nullptr) {
    w.object({{"title", [&] { w.string(f.title); }},
              {"track", [&] { w.string(f.track); }},
              {"count", [&] { w.string(f.count); }},
              {"artist", [&] { w.string(f.artist); }},
              {"album", [&] { w.string(f.album); }},
              {"year", [&] { w.string(f.year); }},
              {"genre", [&] { w.string(f.genre); }},
              {path ? "path" : nullptr, [&] { w.string(*path); }}});
}

} // namespace

namespace JsonOutput {

QByteArray format(const FolderView& v) {
    Writer w(4096 + 640 * v.tracks.size()); // a track takes about 600 bytes
    auto album = [&] {
        w.object({{"artist", [&] { w.string(v.artist); }},
                  {"albumArtist", [&] { w.stringOrNull(v.albumArtist); }},
                  {"album", [&] { w.string(v.album); }},
                  {"year", [&] { w.string(v.year); }},
                  {"genre", [&] { w.string(v.genre); }}});
    };
    auto tracks = [&] {
        w.array(v.tracks, [&w](const FolderView::Track& t) {
            w.object({{"file", [&] { w.string(t.file); }},
                      {"path", [&] { w.string(t.path); }},
                      {"oldTitle", [&] { w.string(t.oldTitle); }},
                      {"newTitle", [&] { w.string(t.newTitle); }},
                      {"newArtist", [&] { w.string(t.newArtist); }},
                      {"newTrack", [&] { w.string(t.newTrack); }},
                      {"newDisc", [&] { w.stringOrNull(t.newDisc); }},
                      {"newFileName", [&] { w.string(t.newFileName); }},
                      {"placeholder", [&] { w.boolean(t.placeholder); }},
                      {"status", [&] { status(w, t.status); }}});
        });
    };
    auto hits = [&] {
        w.array(v.hits, [&w](const FolderView::Hit& h) {
            w.object({{"key", [&] { w.string(h.key); }},
                      {"source", [&] { w.string(h.source); }},
                      {"artist", [&] { w.string(h.artist); }},
                      {"album", [&] { w.string(h.album); }},
                      {"year", [&] { w.string(h.year); }},
                      {"genre", [&] { w.string(h.genre); }},
                      {"score", [&] { w.integer(h.score); }},
                      {"tracks", [&] { w.integer(h.tracks); }},
                      {"distance", [&] { h.distance ? w.number(h.distance->value()) : w.null(); }},
                      {"parts", [&] { h.distance ? parts(w, *h.distance) : w.null(); }}});
        });
    };
    w.object({{"folder", [&] { w.string(v.folder); }},
              {"album", album},
              {"variousArtists", [&] { w.boolean(v.variousArtists); }},
              {"tracks", tracks},
              {"hits", hits},
              {"chosenHit", [&] { v.chosenHit >= 0 ? w.integer(v.chosenHit) : w.null(); }},
              {"alerts", [&] { alerts(w, v.alerts); }},
              {"saved", [&] { w.boolean(v.saved); }}});
    return w.result();
}

QByteArray format(const FileView& v) {
    Writer w;
    auto hits = [&] {
        w.array(v.hits, [&w](const FileView::Hit& h) {
            w.object({{"key", [&] { w.string(h.key); }},
                      {"source", [&] { w.string(h.source); }},
                      {"title", [&] { w.string(h.title); }},
                      {"artist", [&] { w.string(h.artist); }},
                      {"album", [&] { w.string(h.album); }},
                      {"year", [&] { w.string(h.year); }},
                      {"genre", [&] { w.string(h.genre); }},
                      {"track", [&] { w.string(h.track); }},
                      {"relevance", [&] { w.integer(h.score); }},
                      {"status", [&] { status(w, h.status); }}});
        });
    };
    w.object({{"file", [&] { w.string(v.file); }},
              {"fields", [&] { fields(w, v.fields); }},
              {"status", [&] { status(w, v.status); }},
              {"newFileName", [&] { w.string(v.newFileName); }},
              {"hits", hits},
              {"chosenHit", [&] { v.chosenHit >= 0 ? w.integer(v.chosenHit) : w.null(); }},
              {"alerts", [&] { alerts(w, v.alerts); }},
              {"saved", [&] { w.boolean(v.saved); }},
              {v.onDisk ? "onDisk" : nullptr, [&] { fields(w, *v.onDisk, &v.onDiskPath); }}});
    return w.result();
}

} // namespace JsonOutput
