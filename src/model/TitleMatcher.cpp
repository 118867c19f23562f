#include "model/TitleMatcher.h"

#include "text/FuzzyMatch.h"

#include <QHash>
#include <QtGlobal>

#include <cstdlib>
#include <unordered_map>

namespace {

constexpr int kLengthMatchSecs = 3;
constexpr int kLengthNothingSecs = 30;
constexpr int kLengthMismatchSecs = 10;

} // namespace

int TitleMatcher::lengthScore(int offBySecs) {
    if (offBySecs <= kLengthMatchSecs) return 100;
    if (offBySecs >= kLengthNothingSecs) return 0;
    return 100 * (kLengthNothingSecs - offBySecs) / (kLengthNothingSecs - kLengthMatchSecs);
}

int TitleMatcher::secondsOff(uint32_t durationSecs, int lengthMs) {
    return std::abs(int(durationSecs) - (lengthMs + 500) / 1000);
}

std::vector<qsizetype> TitleMatcher::match(const std::vector<File>& files,
                                           const std::vector<Title>& titles) {
    const int t = int(titles.size());
    const qsizetype n = qsizetype(files.size());

    // S[i][j]: how alike title i and file j are; a file whose track number
    // is the title's position counts double. When the hit tells the title's
    // length, the file's duration adds up to twice a perfect title score,
    // and a length off by 10 s or more loses the track-number bonus: the
    // numbers of a badly ripped folder are as wrong as its titles. -1 marks
    // a title or file already taken.
    //
    // The table is titles x files, so it is filled only where the choice
    // needs it: a score that no entry of its row can beat needs an identical
    // title, which a hash finds, and a score that no entry of its column can
    // beat wins that file outright. A folder whose tags already hold the
    // hit's titles is matched in linear time; others fill the rows and
    // columns they compare.
    QHash<QString, std::vector<qsizetype>> filesByTitle;
    bool anyDuration = false;
    for (qsizetype j = 0; j < n; ++j) {
        filesByTitle[files[size_t(j)].title].push_back(j);
        anyDuration = anyDuration || files[size_t(j)].durationSecs > 0;
    }
    bool anyLength = false;
    for (const Title& title : titles)
        anyLength = anyLength || title.lengthMs.has_value();

    auto compute = [&](int i, qsizetype j) {
        const File& file = files[size_t(j)];
        const Title& title = titles[size_t(i)];
        int value = FuzzyCompare(file.title, title.title);
        const bool timed = title.lengthMs && file.durationSecs > 0;
        const int offBy = timed ? secondsOff(file.durationSecs, *title.lengthMs) : 0;
        if (file.trackNum == uint32_t(i + 1) && offBy < kLengthMismatchSecs) value *= 2;
        if (timed) value += 2 * lengthScore(offBy);
        return value;
    };
    // The most an entry of a row or a column can score.
    constexpr int kBestTitle = 200, kBestLength = 200;
    auto rowBound = [&](int i) {
        return kBestTitle + (titles[size_t(i)].lengthMs && anyDuration ? kBestLength : 0);
    };
    auto columnBound = [&](qsizetype j) {
        return kBestTitle + (files[size_t(j)].durationSecs > 0 && anyLength ? kBestLength : 0);
    };

    // Whole rows and columns are kept dense, single entries in a hash.
    std::vector<bool> titleTaken(size_t(t), false), fileTaken(size_t(n), false);
    std::vector<std::vector<int>> rows(static_cast<size_t>(t)), columns(static_cast<size_t>(n));
    std::unordered_map<quint64, int> entries;
    auto value = [&](int i, qsizetype j) {
        if (!rows[size_t(i)].empty()) return rows[size_t(i)][size_t(j)];
        if (!columns[size_t(j)].empty()) return columns[size_t(j)][size_t(i)];
        const quint64 key = quint64(i) * quint64(n) + quint64(j);
        const auto found = entries.find(key);
        if (found != entries.end()) return found->second;
        const int computed = compute(i, j);
        entries.emplace(key, computed);
        return computed;
    };
    auto score = [&](int i, qsizetype j) {
        return titleTaken[size_t(i)] || fileTaken[size_t(j)] ? -1 : value(i, j);
    };
    auto fillRow = [&](int i) {
        std::vector<int>& row = rows[size_t(i)];
        if (!row.empty()) return;
        std::vector<int> filled(static_cast<size_t>(n));
        for (qsizetype j = 0; j < n; ++j)
            filled[size_t(j)] = value(i, j);
        row = std::move(filled);
    };
    auto fillColumn = [&](qsizetype j) {
        std::vector<int>& column = columns[size_t(j)];
        if (!column.empty()) return;
        std::vector<int> filled(static_cast<size_t>(t));
        for (int i = 0; i < t; ++i)
            filled[size_t(i)] = value(i, j);
        column = std::move(filled);
    };
    auto take = [&](int i, qsizetype c) {
        titleTaken[size_t(i)] = true;
        fileTaken[size_t(c)] = true;
    };
    // The first free file of the row's best score.
    auto bestFile = [&](int i) -> qsizetype {
        const auto same = filesByTitle.constFind(titles[size_t(i)].title);
        if (same != filesByTitle.cend())
            for (const qsizetype j : *same)
                if (score(i, j) == rowBound(i)) return j;
        fillRow(i);
        qsizetype c = -1;
        int best = -1;
        for (qsizetype j = 0; j < n; ++j)
            if (const int v = score(i, j); v >= 0 && (c < 0 || v > best)) {
                c = j;
                best = v;
            }
        return c;
    };

    std::vector<qsizetype> assigned(size_t(t), -1);
    for (int pass = 0; pass < t; ++pass) {
        // A pass that assigns nothing leaves the table as it was, and so
        // would every pass after it.
        bool progress = false;
        for (int i = 0; i < t; ++i) {
            if (assigned[size_t(i)] >= 0) continue;
            const qsizetype c = bestFile(i);
            if (c < 0) continue;
            // The title that wants this file most; later titles must beat the
            // best so far, title i wins ties with those before it.
            int winner = i;
            if (score(i, c) < columnBound(c)) {
                fillColumn(c);
                winner = 0;
                for (int k = 1; k < t; ++k)
                    if (score(k, c) > score(winner, c) ||
                        (k == i && score(k, c) >= score(winner, c)))
                        winner = k;
            }
            if (winner == i) {
                assigned[size_t(i)] = c;
                take(i, c);
                progress = true;
            }
        }
        if (!progress) break;
    }
    // Titles left over take the first file still free. The whole column is
    // used up, so no file can land in the list twice.
    for (int i = 0; i < t; ++i) {
        if (assigned[size_t(i)] >= 0) continue;
        for (qsizetype j = 0; j < n; ++j) {
            if (fileTaken[size_t(j)]) continue;
            assigned[size_t(i)] = j;
            take(i, j);
            break;
        }
    }
    return assigned;
}
