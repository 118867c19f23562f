#include "media/M4AFile.h"
#include "support/M4aFixture.h"
#include "system/SaveSteps.h"
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>
using Clock = std::chrono::steady_clock;
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("a.m4a");
    writeM4a(path, {.mdatBytes = (argc > 1 ? atoi(argv[1]) : 200) << 20});
    { QFile f(path); f.open(QIODevice::ReadWrite); ::fsync(f.handle()); }
    auto file = M4AFile::newM4AFileWithPath(path);
    std::map<std::string, double> sums;
    Clock::time_point last;
    std::string lastName;
    SaveSteps::setHook([&](const char* step) {
        auto now = Clock::now();
        sums[lastName] += std::chrono::duration<double, std::milli>(now - last).count();
        last = now; lastName = step;
    });
    const int rounds = argc > 2 ? atoi(argv[2]) : 20;
    for (int i = 0; i < rounds; ++i) {
        file->tagTitle(QStringLiteral("Title %1").arg(i));
        last = Clock::now(); lastName = "plan";
        file->commitTags();
        auto now = Clock::now();
        sums[lastName] += std::chrono::duration<double, std::milli>(now - last).count();
    }
    for (auto& [k, v] : sums) std::printf("%-22s %.2f ms\n", k.c_str(), v / rounds);
}
