#include "system/WorkSharing.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <pthread.h>

namespace {

// One call's pieces, offered to the helpers until the caller has run out.
struct Share {
    std::function<void()> take; // runs pieces until none is left
    size_t wanted = 0;          // helpers it may still take
    size_t running = 0;         // helpers running it now
};

// Helper threads kept for the life of the process. Made afresh for every
// call, each cost its creation and, with a per-thread allocator, a heap of
// its own whose memory the next call's threads could not reuse: a save
// shares work out some forty times.
class Helpers {
public:
    static Helpers& instance() {
        // Never destroyed: helpers wait on it until the process ends.
        static const bool made = [] {
            gPool = new Helpers;
            // A forked child has none of the parent's threads: it starts
            // with no helpers and makes its own when it shares work (the
            // parent's list, whose lock the fork may have caught, is left).
            ::pthread_atfork([] { gPool->fMutex.lock(); }, [] { gPool->fMutex.unlock(); },
                             [] { gPool = new Helpers; });
            return true;
        }();
        (void)made;
        return *gPool;
    }

    // Cores beyond the caller's, at most three.
    size_t most() const { return fMost; }

    // Runs the share on the calling thread and on up to `wanted` idle
    // helpers; returns once every helper that took part is done. A helper
    // that is busy (with the call that made this one, say) is not waited
    // for: the caller then does more of the pieces itself.
    void run(Share& share) {
        {
            const std::lock_guard<std::mutex> lock(fMutex);
            while (fIdle < share.wanted && fThreads < fMost && startOne()) {
            }
            fOpen.push_back(&share);
        }
        fWake.notify_all();
        // The share leaves the list, and its helpers finish, before it goes
        // out of scope, whatever the pieces throw.
        struct Closer {
            Helpers& helpers;
            Share& share;
            ~Closer() {
                std::unique_lock<std::mutex> lock(helpers.fMutex);
                std::erase(helpers.fOpen, &share);
                helpers.fFinished.wait(lock, [this] { return share.running == 0; });
            }
        } closer{*this, share};
        share.take();
    }

private:
    Helpers() : fMost(std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), 4) - 1) {}

    // With the mutex held.
    bool startOne() {
        try {
            std::thread([this] { serve(); }).detach();
        } catch (const std::system_error&) {
            return false; // no thread to be had: fewer hands
        }
        ++fThreads;
        ++fIdle;
        return true;
    }

    void serve() {
        // Named, so that a look at the process's threads tells them apart.
        ::pthread_setname_np(::pthread_self(), WorkSharing::kHelperName);
        std::unique_lock<std::mutex> lock(fMutex);
        for (;;) {
            fWake.wait(lock, [this] { return !fOpen.empty(); });
            Share* share = fOpen.front();
            if (--share->wanted == 0) fOpen.erase(fOpen.begin());
            ++share->running;
            --fIdle;
            lock.unlock();
            share->take();
            lock.lock();
            ++fIdle;
            if (--share->running == 0) fFinished.notify_all();
        }
    }

    static inline Helpers* gPool = nullptr;
    const size_t fMost;
    std::mutex fMutex;
    std::condition_variable fWake;
    std::condition_variable fFinished;
    std::vector<Share*> fOpen; // shares still taking helpers, oldest first
    size_t fThreads = 0;
    size_t fIdle = 0;
};

} // namespace

void WorkSharing::forEachIndex(size_t count, const std::function<void(size_t)>& work) {
    if (count == 0) return;
    std::atomic<size_t> next{0};
    Share share;
    share.take = [&] {
        for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;)
            work(i);
    };
    Helpers& helpers = Helpers::instance();
    share.wanted = std::min(helpers.most(), count - 1);
    if (share.wanted == 0) {
        share.take();
        return;
    }
    helpers.run(share);
}
