// Integer helpers of the exact coordinate arithmetic: the 128-bit type for products that
// 64 bits cannot hold, saturation of wide intermediates back into 32 bits, and truncation of
// floats toward zero.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// GCC and clang both have it on every 64-bit target the program builds for.
__extension__ typedef __int128 Int128;

// Clamps a wide intermediate into the signed 32-bit range.
inline int32_t SaturateToInt32(int64_t v)
{
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// trunc(v) with NaN giving 0 and values outside int32 saturating.
inline int32_t TruncateFloatToInt32(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483648.0f)  // 2^31
        return std::numeric_limits<int32_t>::max();
    if (v < -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
