// Whether this test program is built with AddressSanitizer, which reserves
// more address space than any limit a test sets leaves, and whose memory
// figures are not the program's own.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RUVA_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(RUVA_TEST_ASAN)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
