#include "service/ImageType.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ImageTypeOf, GivesEachKnownExtensionItsOwnCode) {
    EXPECT_EQ(ImageTypeOf("a.iso"), 1);
    EXPECT_EQ(ImageTypeOf("a.otp"), 0);
    EXPECT_EQ(ImageTypeOf("a.isr"), 2);
    EXPECT_EQ(ImageTypeOf("a.inf"), 3);
    EXPECT_EQ(ImageTypeOf("a.ctf"), 4);
}

TEST(ImageTypeOf, CallsEverythingElseUnknown) {
    EXPECT_EQ(ImageTypeOf(""), kUnknownImageType);
    EXPECT_EQ(ImageTypeOf("notes.txt"), kUnknownImageType);
    EXPECT_EQ(ImageTypeOf("a.is"), kUnknownImageType);
    EXPECT_EQ(ImageTypeOf("aiso"), kUnknownImageType);
}

TEST(ImageTypeOf, MatchesCaseSensitively) {
    EXPECT_EQ(ImageTypeOf("a.ISO"), kUnknownImageType);
    EXPECT_EQ(ImageTypeOf("a.Otp"), kUnknownImageType);
}

TEST(ImageTypeOf, FindsAnExtensionAnywhereInTheText) {
    EXPECT_EQ(ImageTypeOf("a.iso.bak"), 1);
    EXPECT_EQ(ImageTypeOf("/fw.ctf.d/readme"), 4);
    EXPECT_EQ(ImageTypeOf(".inf"), 3);
}

TEST(ImageTypeOf, PrefersTheEarlierTableRowOverThePositionInTheText) {
    EXPECT_EQ(ImageTypeOf("a.inf.otp"), 0);
    EXPECT_EQ(ImageTypeOf("a.otp.iso"), 1);
    EXPECT_EQ(ImageTypeOf("a.ctf.isr"), 2);
    EXPECT_EQ(ImageTypeOf("a.ctf.inf"), 3);
}

}  // namespace
}  // namespace tarnwick
