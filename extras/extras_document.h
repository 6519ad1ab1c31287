// The extras' settings document: a small versioned JSON file kept beside the
// 1084-byte settings block. Every key is optional but "version"; a missing
// key leaves its extra off, so {"version": 1} chooses nothing:
//
//   {
//     "version": 1,
//     "matching": "rgb" | "oklab",
//     "transparency": {
//       "enabled": false,
//       "alphaThreshold": 0.5,        0 to 1
//       "index": null,                0..255; null: ID 0's From
//       "ids": []                     IDs 0..65535 whose pixels count as
//     },                              alpha 0
//     "outlines": {
//       "neighbours": 4,              4 or 8
//       "backgroundOnly": false
//     },
//     "ids": {                        "0" to "15"
//       "3": {"outline": null, "dither": "none" | "bayer4" | "bayer8"}
//     }
//   }
//
// Unknown keys, repeated keys and values of the wrong kind or range are
// refused with one line that names the key. Written documents hold every
// key in this order (and in "ids" only the IDs with something chosen, in
// ascending order), so that files diff well.
#pragma once

#include <string>
#include <string_view>

#include "extras/extras.h"

namespace selvo {

constexpr int kExtrasVersion = 1;

// Fills `extras` from a document: "" on success, else the error, and
// `extras` untouched.
std::string ParseExtras(std::string_view text, Extras& extras);

// The document of `extras`, two-space indented, ending in a newline.
std::string ExtrasToJson(const Extras& extras);

// ParseExtras on a file's text; errors start with the file's name.
std::string ReadExtrasFile(const std::string& path, Extras& extras);

// Writes ExtrasToJson under a temporary name and renames it into place:
// "" or one line naming the file and the reason.
std::string WriteExtrasFile(const std::string& path, const Extras& extras);

}  // namespace selvo
