#pragma once

#include <cstddef>
#include <functional>

// Runs work(i) for every i below `count`, on as many threads as there are
// cores (at most four), the calling thread among them; returns when all are
// done. Helpers busy elsewhere (a call made from inside work) are not
// waited for: the caller does more itself. For independent pieces of one job (opening the files of a folder
// for its save, say): work(i) must touch nothing another i touches.
class WorkSharing {
public:
    // The name of the helper threads, kept for the life of the process and
    // idle between calls.
    static constexpr const char* kHelperName = "work-helper";

    static void forEachIndex(size_t count, const std::function<void(size_t)>& work);
};
