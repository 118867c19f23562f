#include "model/TitleMatcher.h"

#include "text/FuzzyMatch.h"

#include <QHash>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <numeric>
#include <unordered_map>

namespace {

constexpr int kLengthMatchSecs = 3;
constexpr int kLengthNothingSecs = 30;
constexpr int kLengthMismatchSecs = 10;
// FuzzyCompare gives 100 to identical texts and at most 99 to any others.
constexpr int kIdentical = 100;
constexpr int kBestUnlike = kIdentical - 1;
constexpr int kBestLength = 200;

// 100 for lengths equal within 3 s, falling linearly to 0 at 30 s.
int lengthScore(int offBySecs) {
    if (offBySecs <= kLengthMatchSecs) return 100;
    if (offBySecs >= kLengthNothingSecs) return 0;
    return 100 * (kLengthNothingSecs - offBySecs) / (kLengthNothingSecs - kLengthMatchSecs);
}

// Whole seconds between a duration and a length in milliseconds, capped
// where the score stops changing (a length from the web may be absurd).
int cappedSecondsOff(uint32_t durationSecs, int lengthMs) {
    const long long off = std::llabs(static_cast<long long>(durationSecs) -
                                     (static_cast<long long>(lengthMs) + 500) / 1000);
    return int(std::min<long long>(off, kLengthNothingSecs));
}

int weigh(int alike, const std::optional<int>& lengthMs, uint32_t durationSecs, bool numbered) {
    const bool timed = lengthMs && durationSecs > 0;
    const int off = timed ? cappedSecondsOff(durationSecs, *lengthMs) : 0;
    int value = alike;
    if (numbered && off < kLengthMismatchSecs) value *= 2;
    if (timed) value += 2 * lengthScore(off);
    return value;
}

bool numberedFor(uint32_t trackNum, qsizetype titleIndex) {
    return trackNum == uint32_t(titleIndex + 1);
}

// Records (or titles) that every title (or record) scores alike, in index
// order; those before `next` are taken.
struct Group {
    std::vector<qsizetype> members;
    size_t next = 0;
    qsizetype free = 0;
};

// What makes entries score alike: a text and two numbers (a record's track
// and duration, a title's length).
struct GroupKey {
    qsizetype text;
    uint32_t first, second;
    bool operator==(const GroupKey&) const = default;
};

size_t qHash(const GroupKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.text, key.first, key.second);
}

// A row or a column of the table filled whole, group by group (the
// record groups of a title's row, the title groups of a record's column):
// each group's score (-1 for one taken when it was filled) and the groups
// by falling score.
struct Filled {
    std::vector<int16_t> values;
    std::vector<size_t> order;
    size_t next = 0;
};

class Matching {
public:
    Matching(const std::vector<TitleMatcher::Record>& records,
             const std::vector<TitleMatcher::Title>& titles);
    std::vector<qsizetype> run();

private:
    // Group numbers by text id (dense) or by track number.
    using ByText = std::vector<std::vector<size_t>>;
    using ByTrack = std::unordered_map<qsizetype, std::vector<size_t>>;

    // Each entry k into the members of its group groupOf[k], in order.
    static void fillMembers(std::vector<Group>& groups, const std::vector<size_t>& groupOf);
    qsizetype firstFree(Group& group, const std::vector<bool>& taken) const;
    int value(qsizetype i, size_t g) const;
    int compute(qsizetype i, size_t g) const;
    std::pair<qsizetype, int> bestRecord(qsizetype i);
    std::pair<qsizetype, int> bestOfFilledRow(qsizetype i);
    bool outscored(size_t g, int v);
    int bestOfFilledColumn(size_t g);
    void take(qsizetype i, qsizetype j);

    const std::vector<TitleMatcher::Record>& fRecords;
    const std::vector<TitleMatcher::Title>& fTitles;
    std::vector<qsizetype> fRecordText, fTitleText; // equal ids for equal texts
    bool fAnyLength = false, fAnyDuration = false;

    std::vector<Group> fRecordGroups, fTitleGroups;
    std::vector<size_t> fRecordGroup, fTitleGroup;
    ByText fRecordGroupsByText, fTitleGroupsByText;
    ByTrack fRecordGroupsByTrack;

    std::vector<bool> fRecordTaken, fTitleTaken;
    qsizetype fFreeRecords = 0, fFreeTitles = 0;
    std::vector<std::unique_ptr<Filled>> fRows, fColumns; // by title, by record group
};

Matching::Matching(const std::vector<TitleMatcher::Record>& records,
                   const std::vector<TitleMatcher::Title>& titles)
    : fRecords(records), fTitles(titles), fRecordTaken(records.size(), false),
      fTitleTaken(titles.size(), false), fFreeRecords(qsizetype(records.size())),
      fFreeTitles(qsizetype(titles.size())), fRows(titles.size()) {
    QHash<QString, qsizetype> ids;
    ids.reserve(qsizetype(fTitles.size() + fRecords.size()));
    auto idOf = [&ids](const QString& text) {
        const auto known = ids.constFind(text);
        return known != ids.cend() ? *known : *ids.insert(text, ids.size());
    };
    fTitleText.reserve(fTitles.size());
    fRecordText.reserve(fRecords.size());
    for (const TitleMatcher::Title& title : fTitles) {
        fTitleText.push_back(idOf(title.title));
        fAnyLength = fAnyLength || title.lengthMs.has_value();
    }
    for (const TitleMatcher::Record& record : fRecords) {
        fRecordText.push_back(idOf(record.title));
        fAnyDuration = fAnyDuration || record.durationSecs > 0;
    }
    fRecordGroupsByText.resize(size_t(ids.size()));
    fTitleGroupsByText.resize(size_t(ids.size()));

    // A record's score depends on its text, track number and, when some
    // title has a length, its duration; a title's on its text and length.
    QHash<GroupKey, size_t> recordKeys;
    fRecordGroup.reserve(fRecords.size());
    for (size_t j = 0; j < fRecords.size(); ++j) {
        const TitleMatcher::Record& r = fRecords[j];
        const GroupKey key{fRecordText[j], r.trackNum, fAnyLength ? r.durationSecs : 0};
        auto at = recordKeys.constFind(key);
        if (at == recordKeys.cend()) {
            at = recordKeys.insert(key, fRecordGroups.size());
            fRecordGroupsByText[size_t(fRecordText[j])].push_back(*at);
            fRecordGroupsByTrack[r.trackNum].push_back(*at);
            fRecordGroups.emplace_back();
        }
        fRecordGroup.push_back(*at);
        ++fRecordGroups[*at].free;
    }
    QHash<GroupKey, size_t> titleKeys;
    fTitleGroup.reserve(fTitles.size());
    for (size_t i = 0; i < fTitles.size(); ++i) {
        const std::optional<int>& length = fTitles[i].lengthMs;
        const GroupKey key{fTitleText[i], length.has_value(), uint32_t(length.value_or(0))};
        auto at = titleKeys.constFind(key);
        if (at == titleKeys.cend()) {
            at = titleKeys.insert(key, fTitleGroups.size());
            fTitleGroupsByText[size_t(fTitleText[i])].push_back(*at);
            fTitleGroups.emplace_back();
        }
        fTitleGroup.push_back(*at);
        ++fTitleGroups[*at].free;
    }
    // The members, once each group's size is known: a large folder's
    // groups would otherwise be copied over and over as they grow.
    fillMembers(fRecordGroups, fRecordGroup);
    fillMembers(fTitleGroups, fTitleGroup);
    fColumns.resize(fRecordGroups.size());
}

void Matching::fillMembers(std::vector<Group>& groups, const std::vector<size_t>& groupOf) {
    for (Group& group : groups)
        group.members.reserve(size_t(group.free));
    for (size_t k = 0; k < groupOf.size(); ++k)
        groups[groupOf[k]].members.push_back(qsizetype(k));
}

qsizetype Matching::firstFree(Group& group, const std::vector<bool>& taken) const {
    while (group.next < group.members.size() && taken[size_t(group.members[group.next])])
        ++group.next;
    return group.next < group.members.size() ? group.members[group.next] : -1;
}

int Matching::value(qsizetype i, size_t g) const {
    if (const Filled* row = fRows[size_t(i)].get()) return row->values[g];
    return compute(i, g);
}

int Matching::compute(qsizetype i, size_t g) const {
    const qsizetype j = fRecordGroups[g].members.front();
    const TitleMatcher::Record& record = fRecords[size_t(j)];
    const TitleMatcher::Title& title = fTitles[size_t(i)];
    const bool identical =
        fRecordText[size_t(j)] == fTitleText[size_t(i)] && !title.title.isEmpty();
    return weigh(identical ? kIdentical : FuzzyCompare(record.title, title.title), title.lengthMs,
                 record.durationSecs, numberedFor(record.trackNum, i));
}

// The first free record of title i's best score, and that score. Records
// of the same text or of the track number i + 1 are scored; the rest are
// compared only when they might beat them.
std::pair<qsizetype, int> Matching::bestRecord(qsizetype i) {
    if (fFreeRecords == 0) return {-1, -1};
    int best = -1;
    qsizetype bestJ = -1, seen = 0;
    auto consider = [&](size_t g) {
        const qsizetype j = firstFree(fRecordGroups[g], fRecordTaken);
        if (j < 0) return;
        seen += fRecordGroups[g].free;
        const int v = value(i, g);
        if (v > best || (v == best && j < bestJ)) {
            best = v;
            bestJ = j;
        }
    };
    const qsizetype text = fTitleText[size_t(i)];
    const bool named = !fTitles[size_t(i)].title.isEmpty();
    if (named)
        for (const size_t g : fRecordGroupsByText[size_t(text)])
            consider(g);
    if (const auto numbered = fRecordGroupsByTrack.find(i + 1);
        numbered != fRecordGroupsByTrack.end())
        for (const size_t g : numbered->second)
            if (!named || fRecordText[size_t(fRecordGroups[g].members.front())] != text)
                consider(g);
    const int unlike =
        kBestUnlike + (fTitles[size_t(i)].lengthMs && fAnyDuration ? kBestLength : 0);
    if (seen == fFreeRecords || best > unlike) return {bestJ, best};
    return bestOfFilledRow(i);
}

std::pair<qsizetype, int> Matching::bestOfFilledRow(qsizetype i) {
    std::unique_ptr<Filled>& row = fRows[size_t(i)];
    if (!row) {
        auto filled = std::make_unique<Filled>();
        filled->values.resize(fRecordGroups.size(), -1);
        for (size_t g = 0; g < fRecordGroups.size(); ++g) {
            if (fRecordGroups[g].free == 0) continue;
            filled->values[g] = int16_t(compute(i, g));
            filled->order.push_back(g);
        }
        std::stable_sort(filled->order.begin(), filled->order.end(),
                         [&](size_t a, size_t b) { return filled->values[a] > filled->values[b]; });
        row = std::move(filled);
    }
    // A record is free whenever some are (the caller made sure).
    while (fRecordGroups[row->order[row->next]].free == 0)
        ++row->next;
    // Groups of the best score: the first free record of any of them.
    const int best = row->values[row->order[row->next]];
    qsizetype first = -1;
    for (size_t k = row->next; k < row->order.size() && row->values[row->order[k]] == best; ++k) {
        const qsizetype j = firstFree(fRecordGroups[row->order[k]], fRecordTaken);
        if (j >= 0 && (first < 0 || j < first)) first = j;
    }
    return {first, best};
}

// Whether a free title scores record group g above v. The title numbered
// by the group's track and the titles of its text are scored; the rest
// only when they might score more.
bool Matching::outscored(size_t g, int v) {
    const qsizetype j = fRecordGroups[g].members.front();
    const TitleMatcher::Record& record = fRecords[size_t(j)];
    const qsizetype numbered = qsizetype(record.trackNum) - 1;
    const bool numberedFree =
        numbered >= 0 && numbered < qsizetype(fTitles.size()) && !fTitleTaken[size_t(numbered)];
    qsizetype seen = 0;
    if (numberedFree) {
        ++seen;
        if (value(numbered, g) > v) return true;
    }
    if (!record.title.isEmpty()) {
        for (const size_t tg : fTitleGroupsByText[size_t(fRecordText[size_t(j)])]) {
            const Group& group = fTitleGroups[tg];
            if (group.free == 0) continue;
            seen += group.free - (numberedFree && fTitleGroup[size_t(numbered)] == tg ? 1 : 0);
            // Each free title of the group but the numbered one scores
            // this; the numbered one scores at least as much.
            const std::optional<int>& length = fTitles[size_t(group.members.front())].lengthMs;
            if (weigh(kIdentical, length, record.durationSecs, false) > v) return true;
        }
    }
    const int unlike = kBestUnlike + (record.durationSecs > 0 && fAnyLength ? kBestLength : 0);
    if (v >= unlike || seen == fFreeTitles) return false;
    return bestOfFilledColumn(g) > v;
}

// The best score of a free title for record group g, the title numbered by
// its track counted as any other of its group.
int Matching::bestOfFilledColumn(size_t g) {
    std::unique_ptr<Filled>& column = fColumns[g];
    if (!column) {
        const TitleMatcher::Record& record = fRecords[size_t(fRecordGroups[g].members.front())];
        auto filled = std::make_unique<Filled>();
        filled->values.resize(fTitleGroups.size(), -1);
        for (size_t tg = 0; tg < fTitleGroups.size(); ++tg) {
            if (fTitleGroups[tg].free == 0) continue;
            const TitleMatcher::Title& title = fTitles[size_t(fTitleGroups[tg].members.front())];
            filled->values[tg] = int16_t(weigh(FuzzyCompare(record.title, title.title),
                                               title.lengthMs, record.durationSecs, false));
            filled->order.push_back(tg);
        }
        std::sort(filled->order.begin(), filled->order.end(),
                  [&](size_t a, size_t b) { return filled->values[a] > filled->values[b]; });
        column = std::move(filled);
    }
    while (column->next < column->order.size() &&
           fTitleGroups[column->order[column->next]].free == 0)
        ++column->next;
    return column->next < column->order.size() ? column->values[column->order[column->next]] : -1;
}

void Matching::take(qsizetype i, qsizetype j) {
    fTitleTaken[size_t(i)] = true;
    fRecordTaken[size_t(j)] = true;
    --fFreeTitles;
    --fFreeRecords;
    --fTitleGroups[fTitleGroup[size_t(i)]].free;
    --fRecordGroups[fRecordGroup[size_t(j)]].free;
    fRows[size_t(i)].reset();
}

std::vector<qsizetype> Matching::run() {
    const qsizetype t = qsizetype(fTitles.size());
    std::vector<qsizetype> assigned(size_t(t), -1);
    std::vector<qsizetype> waiting(static_cast<size_t>(t));
    std::iota(waiting.begin(), waiting.end(), 0);
    // A pass that assigns nothing leaves everything as it was, and so would
    // every pass after it.
    for (qsizetype pass = 0; pass < t && fFreeRecords > 0; ++pass) {
        std::vector<qsizetype> still;
        for (const qsizetype i : waiting) {
            const auto [c, v] = bestRecord(i);
            if (c >= 0 && !outscored(fRecordGroup[size_t(c)], v)) {
                take(i, c);
                assigned[size_t(i)] = c;
            } else {
                still.push_back(i);
            }
        }
        if (still.size() == waiting.size()) break;
        waiting.swap(still);
    }
    // Titles left over take the first record still free.
    qsizetype j = 0;
    for (const qsizetype i : waiting) {
        while (j < qsizetype(fRecords.size()) && fRecordTaken[size_t(j)])
            ++j;
        if (j == qsizetype(fRecords.size())) break;
        take(i, j);
        assigned[size_t(i)] = j;
    }
    return assigned;
}

} // namespace

std::vector<qsizetype> TitleMatcher::assign(const std::vector<Record>& records,
                                            const std::vector<Title>& titles) {
    return Matching(records, titles).run();
}

int TitleMatcher::score(const Title& title, qsizetype titleIndex, const Record& record) {
    return weigh(FuzzyCompare(record.title, title.title), title.lengthMs, record.durationSecs,
                 numberedFor(record.trackNum, titleIndex));
}
