#include "service/ImageList.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Entries = std::vector<std::string>;

// Sessions of registrations, step by step: each step's answer and the whole list after it.
TEST(ImageList, RegistersFilesByTypeAndByName) {
    struct Step {
        std::string path;
        bool answer;
        Entries after;
    };
    const std::string deep = "/" + std::string(300, 'd') + "/" + std::string(300, 'e');
    const std::string longIso = "/i/" + std::string(400, 'n') + ".iso";
    const std::vector<std::pair<const char*, std::vector<Step>>> sessions = {
        {"a session",
         {{"/c/img/a.iso", true, {"/c/img/a.iso"}},
          {"/d/b.iso", true, {"/d/b.iso"}},  // same type as entry 0: it takes its place
          {"/c/img/a.otp", true, {"/d/b.iso", "/c/img/a.otp"}},  // code 0 is a type of its own
          {"/c/x/notes.txt", true, {"/d/b.iso", "/c/img/a.otp", "/c/x/notes.txt"}},
          // Two unknown types are not the same type; only the name matches.
          {"/e/notes.txt", false, {"/d/b.iso", "/c/img/a.otp", "/e/notes.txt"}}}},
        {"the same file twice is reported only for an unknown type",
         {{"/c/a.iso", true, {"/c/a.iso"}},
          {"/c/a.iso", true, {"/c/a.iso"}},
          {"/c/a.bin", true, {"/c/a.iso", "/c/a.bin"}},
          {"/c/a.bin", false, {"/c/a.iso", "/c/a.bin"}}}},
        {"the name matches anywhere in an entry",
         {{"/docs/old_notes.txt.bak", true, {"/docs/old_notes.txt.bak"}},
          {"/new/notes.txt", false, {"/new/notes.txt"}}}},
        {"the first matching entry decides; the whole path, directories included, gives the type",
         {{"/a.iso.d/x.inf", true, {"/a.iso.d/x.inf"}},  // an .iso by its directory
          {"/b/y.inf", true, {"/a.iso.d/x.inf", "/b/y.inf"}},
          // Entry 0 holds the name, entry 1 the type: entry 0 is hit first, entry 1 kept.
          {"/c/x.inf", false, {"/c/x.inf", "/b/y.inf"}}}},
        {"paths longer than any fixed buffer",
         {{"/short/report.bin", true, {"/short/report.bin"}},
          // The name lies beyond byte 600; a truncated copy would miss it is already there.
          {deep + "/report.bin", false, {deep + "/report.bin"}},
          {longIso, true, {deep + "/report.bin", longIso}},
          {"/j/small.iso", true, {deep + "/report.bin", "/j/small.iso"}}}},
        {"a path without a slash is its own file name",
         {{"/c/data.bin", true, {"/c/data.bin"}}, {"data.bin", false, {"data.bin"}}}},
        {"a path without a file name never overwrites an entry",
         {{"/c/a.bin", true, {"/c/a.bin"}}, {"/c/dir/", true, {"/c/a.bin", "/c/dir/"}}}},
    };
    for (const auto& [what, steps] : sessions) {
        ImageList list;
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(what) + ": " + step.path.substr(0, 40));
            EXPECT_EQ(list.AddImage(step.path), step.answer);
            Entries entries;
            for (std::size_t i = 0; i < list.Count(); ++i) {
                entries.push_back(list.At(i));
            }
            EXPECT_EQ(entries, step.after);
        }
    }
}

}  // namespace
}  // namespace tarnwick
