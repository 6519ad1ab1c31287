// Scene-linear colour to 16-bit levels, as EXR colour is read.
#pragma once

#include <cstdint>

namespace selvo {

// A scene-linear value as a 16-bit level: round(srgb(clamp(value, 0, 1)) x
// 65535), where srgb is the sRGB transfer function (12.92 v up to 0.0031308,
// 1.055 v^(1/2.4) - 0.055 above), evaluated in double precision; `linear`
// leaves the curve out. NaN reads as 0, infinities clamp like other values.
// Exactly that value for every float, without evaluating the curve.
uint16_t ColorLevel(float value, bool linear);

}  // namespace selvo
