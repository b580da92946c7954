// Exit statuses every program of the house shares.
#pragma once

namespace kolva {

// Bad usage: an unknown option, a bad value, a stray argument.
inline constexpr int kUsageStatus = 64;

}  // namespace kolva
