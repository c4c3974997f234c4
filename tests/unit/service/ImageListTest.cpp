#include "service/ImageList.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ImageListFileName, IsThePartAfterTheLastSlash) {
    EXPECT_EQ(ImageList::FileNameOf("/c/img/a.iso"), "a.iso");
    EXPECT_EQ(ImageList::FileNameOf("a.iso"), "a.iso");
    EXPECT_EQ(ImageList::FileNameOf("/c/img/"), "");
    // A backslash is an ordinary character in a Linux file name.
    EXPECT_EQ(ImageList::FileNameOf("/c/x\\y.iso"), "x\\y.iso");
}

// The registrations of one session, step by step; each step depends on the ones before.
TEST(ImageList, RegistersASessionOfFilesByTypeAndByName) {
    ImageList list;
    EXPECT_EQ(list.Count(), 0U);

    EXPECT_TRUE(list.AddImage("/c/img/a.iso"));
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "/c/img/a.iso");

    // Same type as entry 0: it takes its place.
    EXPECT_TRUE(list.AddImage("/d/b.iso"));
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "/d/b.iso");

    // Code 0 is a real type, distinct from 1.
    EXPECT_TRUE(list.AddImage("/c/img/a.otp"));
    ASSERT_EQ(list.Count(), 2U);
    EXPECT_EQ(list.At(1), "/c/img/a.otp");

    EXPECT_TRUE(list.AddImage("/c/x/notes.txt"));
    ASSERT_EQ(list.Count(), 3U);
    EXPECT_EQ(list.At(2), "/c/x/notes.txt");

    // Two unknown types are not the same type; only the name matches.
    EXPECT_FALSE(list.AddImage("/e/notes.txt"));
    ASSERT_EQ(list.Count(), 3U);
    EXPECT_EQ(list.At(0), "/d/b.iso");
    EXPECT_EQ(list.At(1), "/c/img/a.otp");
    EXPECT_EQ(list.At(2), "/e/notes.txt");
}

TEST(ImageList, ClassifiesAnEntryByItsWholePathIncludingDirectories) {
    ImageList list;
    EXPECT_TRUE(list.AddImage("/c/fw.iso.d/x.bin"));
    EXPECT_TRUE(list.AddImage("/d/other.iso"));
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "/d/other.iso");
}

TEST(ImageList, ChoosingTheSameFileTwiceReportsItOnlyForAnUnknownType) {
    ImageList known;
    EXPECT_TRUE(known.AddImage("/c/a.iso"));
    EXPECT_TRUE(known.AddImage("/c/a.iso"));
    ASSERT_EQ(known.Count(), 1U);
    EXPECT_EQ(known.At(0), "/c/a.iso");

    ImageList unknown;
    EXPECT_TRUE(unknown.AddImage("/c/a.bin"));
    EXPECT_FALSE(unknown.AddImage("/c/a.bin"));
    ASSERT_EQ(unknown.Count(), 1U);
    EXPECT_EQ(unknown.At(0), "/c/a.bin");
}

TEST(ImageList, MatchesTheFileNameAnywhereInAnEntry) {
    ImageList list;
    EXPECT_TRUE(list.AddImage("/docs/old_notes.txt.bak"));
    EXPECT_FALSE(list.AddImage("/new/notes.txt"));
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "/new/notes.txt");
}

TEST(ImageList, LetsTheFirstMatchingEntryDecide) {
    ImageList list;
    EXPECT_TRUE(list.AddImage("/a.iso.d/x.inf"));  // classified as .iso by its directory
    EXPECT_TRUE(list.AddImage("/b/y.inf"));
    ASSERT_EQ(list.Count(), 2U);

    // Entry 0 holds the name, entry 1 the type: entry 0 is hit first and entry 1 is kept.
    EXPECT_FALSE(list.AddImage("/c/x.inf"));
    ASSERT_EQ(list.Count(), 2U);
    EXPECT_EQ(list.At(0), "/c/x.inf");
    EXPECT_EQ(list.At(1), "/b/y.inf");
}

TEST(ImageList, HandlesPathsLongerThanAnyFixedBuffer) {
    const std::string deep = "/" + std::string(300, 'd') + "/" + std::string(300, 'e');
    ImageList list;
    EXPECT_TRUE(list.AddImage("/short/report.bin"));

    // The name lies beyond byte 600; a truncated copy would miss that it is already there.
    EXPECT_FALSE(list.AddImage(deep + "/report.bin"));
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), deep + "/report.bin");

    // Likewise the extension of a long name decides its type.
    EXPECT_TRUE(list.AddImage("/i/" + std::string(400, 'n') + ".iso"));
    EXPECT_TRUE(list.AddImage("/j/small.iso"));
    ASSERT_EQ(list.Count(), 2U);
    EXPECT_EQ(list.At(1), "/j/small.iso");
}

TEST(ImageList, TakesAPathWithoutSlashAsItsOwnFileName) {
    ImageList list;
    EXPECT_TRUE(list.AddImage("/c/data.bin"));
    EXPECT_FALSE(list.AddImage("data.bin"));
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "data.bin");
}

TEST(ImageList, NeverLetsAPathWithoutFileNameOverwriteAnEntry) {
    ImageList list;
    EXPECT_TRUE(list.AddImage("/c/a.bin"));
    EXPECT_TRUE(list.AddImage("/c/dir/"));
    ASSERT_EQ(list.Count(), 2U);
    EXPECT_EQ(list.At(0), "/c/a.bin");
    EXPECT_EQ(list.At(1), "/c/dir/");
}

TEST(ImageList, RefusesAnIndexPastTheEnd) {
    ImageList list;
    EXPECT_THROW(static_cast<void>(list.At(0)), std::out_of_range);
    EXPECT_TRUE(list.AddImage("/c/a.iso"));
    EXPECT_THROW(static_cast<void>(list.At(1)), std::out_of_range);
}

}  // namespace
}  // namespace tarnwick
