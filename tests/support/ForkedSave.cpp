#include "support/ForkedSave.h"

#include "system/SaveSteps.h"

#include <chrono>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

bool diesBeforeStep(const std::function<void()>& work, int step) {
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        int seen = 0;
        SaveSteps::setHook([&seen, step](const char*) {
            if (seen++ == step) ::_exit(0);
        });
        work();
        ::_exit(3);
    }
    int status = 0;
    for (int waited = 0; waited < 400; ++waited) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}
