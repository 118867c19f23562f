#include "cli/StopSignals.h"

#include "system/SaveSteps.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int sig) {
    SaveSteps::requestStop(sig);
}

} // namespace

StopSignals::StopSignals(void (*handler)(int)) {
    SaveSteps::clearStop();
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler ? handler : &onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &sa, &fOld[i]);
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &fOld[i], nullptr);
}

int StopSignals::exitStatus() {
    const int sig = SaveSteps::stopSignal();
    return sig > 0 ? 128 + sig : 0;
}

void StopSignals::installTestTrigger() {
    const QList<QByteArray> parts = qgetenv("TROVIX_TEST_SIGNAL_AT_STEP").split(':');
    if (parts.size() != 3) return;
    const QByteArray name = parts[0];
    const int at = parts[1].toInt();
    const int sig = parts[2].toInt();
    if (at <= 0 || sig <= 0) return;
    auto seen = std::make_shared<std::atomic<int>>(0);
    SaveSteps::setHook([name, at, sig, seen](const char* step) {
        // To this thread, so the signal lands before the step, not some time later.
        if (name == step && ++*seen == at) ::raise(sig);
    });
}
