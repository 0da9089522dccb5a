// ZELVO_SANITIZED is 1 in a build under AddressSanitizer or ThreadSanitizer
// (GCC's and clang's spelling alike): tests that count allocations or run
// child programs the sanitizer runtime would disturb check it.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZELVO_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELVO_SANITIZED 1
#endif
