// The exit's two steps in a shared temporary directory: the scratch file goes only when it is
// this user's, and the copy lands only in a private "programmer" directory of this user that
// exists, never over or through anything under its name: another user may have planted
// anything there.
#include "platform/TempFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string_view>

#include "TempFile.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using testing::ReadText;
using testing::WriteText;

TEST(TempFiles, DeleteOnlyOurScratchFileAndCopyOnlyWhereNobodyElseCanReach) {
    const struct {
        const char* name;
        std::string_view programmer;  // the directory, or what is there instead
        const char* source;           // in a directory holding chosen.bin
        std::string_view atTarget;    // "copy": an earlier one; "link": a symbolic link
    } cases[] = {
        {"copied", "ours", "chosen.bin", ""},
        {"no programmer directory", "none", "chosen.bin", ""},
        {"a copy is there already", "ours", "chosen.bin", "copy"},
        {"the file is gone", "ours", "gone.bin", ""},
        {"a directory", "ours", ".", ""},
        {"another user's directory and file", "another user's", "chosen.bin", ""},
        {"a group-writable directory", "group-writable", "chosen.bin", ""},
        {"a link to a directory of ours", "link", "chosen.bin", ""},
        {"a link under the target's name", "ours", "chosen.bin", "link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The tool decides by the effective user; only root can make something another's.
        if (c.programmer == "another user's" && geteuid() != 0) {
            continue;
        }
        const testing::TempFile temp({}, "mydata.bin");
        const testing::TempFile elsewhere({}, "chosen.bin");
        WriteText(elsewhere.Path(), "the chosen file");
        const fs::path programmer = fs::path(temp.Dir()) / "programmer";
        const fs::path target = programmer / "copy.bof";
        const fs::path ours = fs::path(elsewhere.Dir()) / "ours";
        const fs::path linkedTo = fs::path(elsewhere.Dir()) / "planted.bof";
        if (c.programmer == "link") {
            fs::create_directory(ours);
            fs::create_directory_symlink(ours, programmer);
        } else if (c.programmer != "none") {
            fs::create_directory(programmer);
            fs::permissions(programmer,
                            c.programmer == "group-writable" ? fs::perms(0775) : fs::perms(0755));
        }
        if (c.programmer == "another user's") {
            for (const fs::path& path : {programmer, fs::path(temp.Path())}) {
                ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
            }
        }
        if (c.atTarget == "copy") {
            WriteText(target, "first copy");
        } else if (c.atTarget == "link") {
            fs::create_symlink(linkedTo, target);
        }

        DeleteOwnTempFile(temp.Dir() + "/", "mydata.bin");
        CopyIntoPrivateDirectory(elsewhere.Dir() + "/" + c.source, temp.Dir() + "/", "programmer",
                                 "copy.bof");

        // Another user's scratch file is theirs to delete.
        EXPECT_EQ(fs::exists(temp.Path()), c.programmer == "another user's");
        if (c.name == std::string_view("copied")) {
            EXPECT_EQ(ReadText(target), "the chosen file");
            EXPECT_EQ(fs::status(target).permissions() & fs::perms(077), fs::perms::none);
        } else if (c.atTarget == "copy") {
            EXPECT_EQ(ReadText(target), "first copy");
        } else {
            EXPECT_FALSE(fs::exists(target));  // follows links: nothing written through one
        }
        EXPECT_FALSE(fs::exists(linkedTo));
        EXPECT_FALSE(fs::exists(ours / "copy.bof"));
    }
}

}  // namespace
}  // namespace tarnwick
