// The file managers' rule for offering "Tag with Trovix™...".
#include "plugin/SelectionRule.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct SelectionCase {
    const char* what;
    std::vector<TrovixSelectionItem> items;
    bool offered;
};

TEST(SelectionRule, OffersTheCommandOnlyWhenEveryItemIsAFolderOrMusic) {
    const std::vector<SelectionCase> cases = {
        {"one folder", {{"Album", 1}}, true},
        {"a folder named like a text file", {{"notes.txt", 1}}, true},
        {"one mp3", {{"01 Intro.mp3", 0}}, true},
        {"one m4a given as a path", {{"/home/u/Music/a.b/02.m4a", 0}}, true},
        {"folders and files", {{"Album", 1}, {"a.mp3", 0}, {"b.m4a", 0}}, true},
        {"upper-case extension", {{"TRACK.MP3", 0}}, true},
        {"mixed-case extension", {{"track.M4a", 0}}, true},
        {"mixed with one text file", {{"a.mp3", 0}, {"readme.txt", 0}, {"Album", 1}}, false},
        {"name without extension", {{"mp3", 0}}, false},
        {"name ending in a dot", {{"song.", 0}}, false},
        {"extension only as a folder part", {{"/x/y.mp3/track", 0}}, false},
        {"extension as a prefix", {{"song.mp3x", 0}}, false},
        {"empty selection", {}, false},
    };
    for (const SelectionCase& c : cases)
        EXPECT_EQ(trovixSelectionIsTaggable(c.items.data(), c.items.size()) != 0, c.offered)
            << c.what;
}

} // namespace
