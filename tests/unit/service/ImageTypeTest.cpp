#include "service/ImageType.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace tarnwick {
namespace {

// Case-sensitive, anywhere in the text, and the earlier table row wins over the place in the
// text ("a.inf.otp" is an .otp).
TEST(ImageTypeOf, GivesTheTypeOfTheFirstTableRowFoundAnywhereInTheText) {
    const auto expect = [](int type, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            EXPECT_EQ(ImageTypeOf(name), type) << name;
        }
    };
    expect(0, {"a.otp", "a.inf.otp"});
    expect(1, {"a.iso", "a.iso.bak", "a.otp.iso"});
    expect(2, {"a.isr", "a.ctf.isr"});
    expect(3, {"a.inf", ".inf", "a.ctf.inf"});
    expect(4, {"a.ctf", "/fw.ctf.d/readme"});
    expect(kUnknownImageType, {"", "notes.txt", "a.is", "aiso", "a.ISO", "a.Otp"});
}

}  // namespace
}  // namespace tarnwick
