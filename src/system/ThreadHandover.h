#pragma once

// ThreadSanitizer sees no ordering through Qt's own code (its libraries are
// not built for it): a job started on the thread pool, a queued call, the
// end of a future. Where our data crosses threads through Qt, the sender
// releases a token just before handing over and the receiver acquires it
// first thing, which is the ordering Qt really provides. Without the
// sanitizer both are nothing.
#if defined(__SANITIZE_THREAD__)
#define TROVIX_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TROVIX_UNDER_TSAN 1
#endif
#endif

#ifdef TROVIX_UNDER_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace ThreadHandover {

inline void release([[maybe_unused]] const void* token) {
#ifdef TROVIX_UNDER_TSAN
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void acquire([[maybe_unused]] const void* token) {
#ifdef TROVIX_UNDER_TSAN
    __tsan_acquire(const_cast<void*>(token));
#endif
}

} // namespace ThreadHandover
