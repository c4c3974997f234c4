#pragma once

#include <cstdint>
#include <string_view>

namespace tarnwick {

// Type code of a text that contains none of the known image extensions. It never counts as
// "the same type" when the image list compares entries.
inline constexpr std::uint8_t kUnknownImageType = 255;

// Image type code of a file name or path: the code of the first known extension (".iso" 1,
// ".otp" 0, ".isr" 2, ".inf" 3, ".ctf" 4, tried in that order) that occurs anywhere in the
// text, case-sensitively; otherwise kUnknownImageType. "a.iso.bak" is an .iso image and
// "a.inf.otp" an .otp image: the match is deliberately a substring, not a suffix.
// Pure; never fails.
std::uint8_t ImageTypeOf(std::string_view text);

}  // namespace tarnwick
