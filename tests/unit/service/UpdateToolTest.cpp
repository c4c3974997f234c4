#include "service/UpdateTool.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using Calls = std::vector<std::string>;

// Answers the file dialog with a prepared path and records what the person would see, in order.
class RecordingUi : public UpdateToolUi {
  public:
    explicit RecordingUi(std::optional<std::string> answer) : answer_(std::move(answer)) {}

    std::optional<std::string> ChooseImagePath() override {
        calls.emplace_back("choose");
        return answer_;
    }
    void SetPathText(const std::string& path) override { calls.push_back("path " + path); }
    void ShowMessage(const std::string& text) override { calls.push_back("message " + text); }
    void RefreshFields() override { calls.emplace_back("refresh"); }

    Calls calls;

  private:
    std::optional<std::string> answer_;
};

// Each run starts from a list holding "/c/x/notes.txt".
TEST(UpdateTool, RegistersTheChosenFileAndTellsOfOneAlreadyThereBeforeRefreshing) {
    const auto check = [](const char* what, std::optional<std::string> answer, const Calls& calls,
                          const std::vector<std::string>& entries) {
        SCOPED_TRACE(what);
        ImageList list;
        ASSERT_TRUE(list.AddImage("/c/x/notes.txt"));
        RecordingUi ui(std::move(answer));
        RunUpdateTool(list, ui);
        EXPECT_EQ(ui.calls, calls);
        std::vector<std::string> found;
        for (std::size_t i = 0; i < list.Count(); ++i) {
            found.push_back(list.At(i));
        }
        EXPECT_EQ(found, entries);
    };
    check("cancelled: nothing changes", std::nullopt, {"choose"}, {"/c/x/notes.txt"});
    check("an empty answer is a cancel", std::string{}, {"choose"}, {"/c/x/notes.txt"});
    check("a new file, without a message", "/c/img/a.iso",
          {"choose", "path /c/img/a.iso", "refresh"}, {"/c/x/notes.txt", "/c/img/a.iso"});
    check("a file already there", "/e/notes.txt",
          {"choose", "path /e/notes.txt", "message 文件已经存在！", "refresh"}, {"/e/notes.txt"});
}

}  // namespace
}  // namespace tarnwick
