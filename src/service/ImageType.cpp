#include "service/ImageType.h"

#include <array>

namespace tarnwick {
namespace {

struct ImageExtension {
    std::string_view text;
    std::uint8_t code;
};

// The order decides which code a text with several extensions gets; the codes are not the
// row numbers (".otp" is 0 although ".iso" is tried first).
constexpr std::array<ImageExtension, 5> kImageExtensions{{
    {".iso", 1},
    {".otp", 0},
    {".isr", 2},
    {".inf", 3},
    {".ctf", 4},
}};

}  // namespace

std::uint8_t ImageTypeOf(std::string_view text) {
    for (const ImageExtension& extension : kImageExtensions) {
        if (text.find(extension.text) != std::string_view::npos) {
            return extension.code;
        }
    }
    return kUnknownImageType;
}

}  // namespace tarnwick
