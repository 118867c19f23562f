#pragma once

// Defines TROVIX_UNDER_ASAN in a build with AddressSanitizer. GCC says so
// with __SANITIZE_ADDRESS__; clang 14 only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define TROVIX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TROVIX_UNDER_ASAN 1
#endif
#endif
