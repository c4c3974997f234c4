// The exit's two steps in the user's own temporary directory on Windows: the scratch file goes
// (a directory of that name stays), and the copy lands only in a "programmer" directory that
// exists, and never over anything already under its name.
#include "platform/TempFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>

#include "TempFile.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::WriteText;

TEST(WindowsTempFiles, DeleteTheScratchFileAndCopyOnlyIntoAnExistingDirectoryAsANewFile) {
    const struct {
        const char* name;
        std::string_view programmer;  // "directory", "none" or "file"
        const char* source;           // in a directory holding 固件.bin
        std::string_view atTarget;    // "copy": an earlier one
        bool scratchIsDirectory;
    } cases[] = {
        {"copied", "directory", "固件.bin", "", false},
        {"no programmer directory", "none", "固件.bin", "", false},
        {"a file named programmer", "file", "固件.bin", "", false},
        {"a copy is there already", "directory", "固件.bin", "copy", false},
        {"the file is gone", "directory", "gone.bin", "", false},
        {"a directory", "directory", ".", "", false},
        {"a directory under the scratch file's name", "none", "固件.bin", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempFile temp({}, "mydata.bin");
        const testing::TempFile elsewhere({}, "固件.bin");
        WriteText(elsewhere.Path(), "the chosen file");
        const std::string programmer = temp.Dir() + "/programmer";
        const std::string target = programmer + "/copy.bof";
        if (c.programmer == "directory") {
            fs::create_directory(Utf8Path(programmer));
        } else if (c.programmer == "file") {
            WriteText(programmer, "");
        }
        if (c.atTarget == "copy") {
            WriteText(target, "first copy");
        }
        if (c.scratchIsDirectory) {
            fs::remove(Utf8Path(temp.Path()));
            fs::create_directory(Utf8Path(temp.Path()));
        }

        DeleteOwnTempFile(temp.Dir() + "/", "mydata.bin");
        CopyIntoPrivateDirectory(elsewhere.Dir() + "/" + c.source, temp.Dir() + "/", "programmer",
                                 "copy.bof");

        EXPECT_EQ(fs::exists(Utf8Path(temp.Path())), c.scratchIsDirectory);
        const bool copied = c.name == std::string_view("copied");
        EXPECT_EQ(fs::exists(Utf8Path(target)), copied || c.atTarget == "copy");
        EXPECT_EQ(ReadText(target), copied                 ? "the chosen file"
                                    : c.atTarget == "copy" ? "first copy"
                                                           : "");
    }
}

}  // namespace
}  // namespace tarnwick
