#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Which file of a folder each title of an album belongs to. Applying a hit
// reorders the tracks by it, and the match distance compares the pairs it
// makes, so both see the same pairing.
class TitleMatcher {
public:
    // What a file tells: its title (tag or name), track number and length.
    struct File {
        QString title;
        uint32_t trackNum = 0;
        uint32_t durationSecs = 0; // 0: unknown
    };
    // What the album tells of one title.
    struct Title {
        QString title;
        std::optional<int> lengthMs;
    };

    // For each title, the index of its file, or -1 when every file is taken.
    // Titles pick the file most like them; a file whose track number is the
    // title's position counts double, and a known length weighs in.
    static std::vector<qsizetype> match(const std::vector<File>& files,
                                        const std::vector<Title>& titles);

    // 100 for lengths equal within 3 s, falling linearly to 0 at 30 s.
    static int lengthScore(int offBySecs);
    // How far the file's length is from the title's, in whole seconds.
    static int secondsOff(uint32_t durationSecs, int lengthMs);
};
