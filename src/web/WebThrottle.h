#pragma once

#include <QString>

#include <cstdint>
#include <mutex>

// Keeps the program from hitting one web site faster than a fixed pace,
// however many documents look things up at once. One holder at a time; each
// holder waits until the delay has passed since the previous one let go, so
// the pace runs from the end of one fetch to the start of the next.
class WebThrottle {
public:
    // The first holder never waits.
    WebThrottle(const QString& name, double delaySeconds);
    virtual ~WebThrottle() = default;
    WebThrottle(const WebThrottle&) = delete;
    WebThrottle& operator=(const WebThrottle&) = delete;

    // Returns holding the throttle, after sleeping out the rest of the delay.
    // Sleeps while holding it, so later holders queue behind.
    virtual void lock();
    // Starts the delay now and lets the next holder in. Must be called on the
    // thread that locked.
    virtual void unlock();

    const QString& name() const { return fName; }
    double delaySeconds() const { return fDelay / 1e6; }

    // Microseconds on a monotonic clock (immune to wall-clock changes).
    static std::uint64_t microsecondClock();

private:
    QString fName;
    std::mutex fLock;
    std::uint64_t fNextAccess; // guarded by fLock
    double fDelay;             // microseconds
};

// A process-wide throttle that a site declares where it lives (a static
// object in the site's own file): InitWebThrottles creates every declared one,
// and until then the slot is empty and the site's fetches run unpaced. Tests
// put a throttle of their own into the slot.
class SiteThrottle {
public:
    SiteThrottle(const char* name, double delaySeconds);
    SiteThrottle(const SiteThrottle&) = delete;
    SiteThrottle& operator=(const SiteThrottle&) = delete;

    WebThrottle* get() const { return fThrottle; }
    WebThrottle*& slot() { return fThrottle; }
    const char* name() const { return fName; }
    double delaySeconds() const { return fDelay; }

private:
    friend void InitWebThrottles();
    const char* fName;
    double fDelay;
    WebThrottle* fThrottle = nullptr;
};

// The picture downloads' throttle, created by InitWebThrottles and never
// destroyed.
extern WebThrottle* gImageThrottle;

// Creates "Images" and every declared site throttle (never destroyed).
// Safe to call more than once; only the first call creates them.
void InitWebThrottles();
