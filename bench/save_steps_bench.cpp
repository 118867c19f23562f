// Where the time of an in-place M4A save goes: the mean time from each save
// step to the next (planning, the rollback journal, the write and its
// check, the sync, the journal's removal), for a file with that much audio.
// Prints figures; asserts nothing.
//
//   save_steps_bench [audio-MB] [saves]
#include "media/M4AFile.h"
#include "save/SaveBatch.h"
#include "support/M4aFixture.h"
#include "system/SaveSteps.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <unistd.h>

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? std::atoi(argv[1]) : 200;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("save.m4a"));
    if (!writeM4a(path, {.mdatBytes = megabytes << 20})) return 1;
    {
        // Flushed first, so that the first save does not pay for writing
        // the freshly made file.
        QFile f(path);
        if (f.open(QIODevice::ReadWrite)) ::fsync(f.handle());
    }
    auto file = M4AFile::newM4AFileWithPath(path);
    if (!file) return 1;

    std::map<std::string, double> total;
    std::string step;
    Clock::time_point since;
    auto lap = [&](const char* next) {
        const auto now = Clock::now();
        total[step] += std::chrono::duration<double, std::milli>(now - since).count();
        since = now;
        step = next;
    };
    SaveSteps::setHook([&lap](const char* next) { lap(next); });
    for (int i = 0; i < rounds; ++i) {
        file->setTags({.title = QStringLiteral("Title %1").arg(i)}, TagField::Title);
        since = Clock::now();
        step = "plan";
        const Outcome saved = SaveBatch::saveOne(*file);
        if (!saved.ok()) std::printf("save failed: %s\n", qPrintable(saved.reason));
        lap("");
    }
    std::printf("save_steps_bench: in-place save of a %d MB M4A, mean of %d, ms from each step to "
                "the next\n",
                megabytes, rounds);
    double sum = 0;
    for (const char* name :
         {"plan", "tags-journal", "tags-write", "tags-sync", "tags-journal-remove"}) {
        std::printf("  %-20s %7.2f\n", name, total[name] / rounds);
        sum += total[name] / rounds;
    }
    std::printf("  %-20s %7.2f\n", "whole save", sum);
    return 0;
}
