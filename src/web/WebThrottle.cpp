#include "web/WebThrottle.h"

#include <chrono>
#include <thread>
#include <vector>

WebThrottle* gImageThrottle = nullptr;

namespace {

// Declared during static initialisation, before InitWebThrottles runs.
std::vector<SiteThrottle*>& declaredThrottles() {
    static std::vector<SiteThrottle*> throttles;
    return throttles;
}

} // namespace

SiteThrottle::SiteThrottle(const char* name, double delaySeconds)
    : fName(name), fDelay(delaySeconds) {
    declaredThrottles().push_back(this);
}

std::uint64_t WebThrottle::microsecondClock() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

WebThrottle::WebThrottle(const QString& name, double delaySeconds)
    : fName(name), fNextAccess(microsecondClock()), fDelay(delaySeconds * 1000000.0) {}

void WebThrottle::lock() {
    fLock.lock();
    const std::uint64_t now = microsecondClock();
    if (fNextAccess > now)
        std::this_thread::sleep_for(std::chrono::microseconds(fNextAccess - now));
}

void WebThrottle::unlock() {
    const std::uint64_t now = microsecondClock();
    const double next = static_cast<double>(now) + fDelay;
    fNextAccess = next > 0 ? static_cast<std::uint64_t>(next) : now;
    fLock.unlock();
}

void InitWebThrottles() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (SiteThrottle* site : declaredThrottles())
            site->fThrottle = new WebThrottle(QString::fromLatin1(site->fName), site->fDelay);
        gImageThrottle = new WebThrottle(QStringLiteral("Images"), 2.5);
    });
}
