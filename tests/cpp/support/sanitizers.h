// Whether the tests run under a sanitizer, which pads stack frames and holds
// freed memory back: bounds on stack and memory use are meant for ordinary builds.
#pragma once

namespace mirtova::testing_support {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace mirtova::testing_support
