// ORV_SANITIZED is 1 in builds under AddressSanitizer or ThreadSanitizer
// (GCC and clang spell the test differently), else 0.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORV_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ORV_SANITIZED 1
#endif
#endif
#ifndef ORV_SANITIZED
#define ORV_SANITIZED 0
#endif
