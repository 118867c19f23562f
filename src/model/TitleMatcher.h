#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Matches an album's titles to a folder's records. Title i and record j
// score how alike their titles are (FuzzyCompare of the record's title and
// the album's), doubled when the record's track number is i + 1; when the
// album tells the title's length, the record's duration adds up to twice a
// perfect title score, and a length off by 10 s or more loses the
// track-number bonus. Then, pass after pass, each title without a record
// looks at its best free record (the first one of its best score) and takes
// it unless another free title scores that record higher; titles left over
// take the first record still free.
//
// The result is that of filling the whole titles x records table, but the
// table is only filled where a score could change the choice: a title whose
// identical or numbered records beat anything an unlike title can score
// never compares the others, so a folder whose tags hold the album's titles,
// however often one repeats, is matched in near-linear time.
class TitleMatcher {
public:
    struct Record {
        QString title;
        uint32_t trackNum = 0;
        uint32_t durationSecs = 0; // 0: unknown
    };
    struct Title {
        QString title;
        std::optional<int> lengthMs;
    };

    // For each title, the index of the record it takes, or -1.
    static std::vector<qsizetype> assign(const std::vector<Record>& records,
                                         const std::vector<Title>& titles);

    // How alike title and record are, as the matching weighs it.
    static int score(const Title& title, qsizetype titleIndex, const Record& record);
};
