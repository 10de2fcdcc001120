// Whether this build runs under AddressSanitizer, as GCC and clang each say it: tests that limit
// the address space, or that would take too long under the sanitizer, ask this.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER
#endif
#endif
