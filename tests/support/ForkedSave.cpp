#include "support/ForkedSave.h"

#include "support/Sanitizers.h"
#include "system/SaveSteps.h"
#include "system/WorkSharing.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A thread that is still ending (a detached closer: the journal's, or that
// of the files a save replaced) may hold the address sanitizer's allocator
// lock at the fork, and the child would wait on it for ever: that sanitizer
// has no fork handlers. Forking once this process
// is down to one thread besides the idle work helpers, or after two seconds,
// avoids that. The C library's allocator and the thread sanitizer lock
// around a fork themselves (and the latter keeps a thread of its own, so the
// count would never come down).
void waitUntilSingleThreaded() {
#ifdef TROVIX_UNDER_ASAN
    const auto busyThreads = [] {
        int busy = 0;
        std::error_code error;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
            std::string name;
            std::getline(std::ifstream(task.path() / "comm"), name);
            if (name != WorkSharing::kHelperName) ++busy;
        }
        return error ? 0 : busy;
    };
    for (int waited = 0; waited < 200 && busyThreads() > 1; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
#endif
}

} // namespace

bool diesBeforeStep(const std::function<void()>& work, int step) {
    waitUntilSingleThreaded();
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        int seen = 0;
        // A kill, not an exit: some steps run on a helper thread, or while
        // one copies a file, and a sanitizer's exit would report the thread.
        SaveSteps::setHook([&seen, step](const char*) {
            if (seen++ == step) ::kill(::getpid(), SIGKILL);
        });
        work();
        ::_exit(3);
    }
    int status = 0;
    for (int waited = 0; waited < 400; ++waited) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}
