#include "service/UpdateTool.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tarnwick {
namespace {

using ::testing::ElementsAre;

// Answers the file dialog with a prepared path and records what the person would see, in order.
class RecordingUi : public UpdateToolUi {
  public:
    explicit RecordingUi(std::optional<std::string> answer) : answer_(std::move(answer)) {}

    std::optional<std::string> ChooseImagePath() override {
        calls.emplace_back("choose");
        return answer_;
    }
    void SetPathText(const std::string& path) override {
        calls.push_back("path " + path);
        pathText = path;
    }
    void ShowMessage(const std::string& text) override { calls.push_back("message " + text); }
    void RefreshFields() override { calls.emplace_back("refresh"); }

    std::vector<std::string> calls;
    std::string pathText = "/previous/firmware.bin";

  private:
    std::optional<std::string> answer_;
};

TEST(UpdateTool, CancellingTheFileDialogChangesNothing) {
    ImageList list;
    EXPECT_TRUE(list.AddImage("/c/a.iso"));
    RecordingUi ui(std::nullopt);

    RunUpdateTool(list, ui);

    EXPECT_THAT(ui.calls, ElementsAre("choose"));
    EXPECT_EQ(ui.pathText, "/previous/firmware.bin");
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "/c/a.iso");
}

TEST(UpdateTool, TreatsAnEmptyAnswerAsACancel) {
    ImageList list;
    RecordingUi ui(std::string{});

    RunUpdateTool(list, ui);

    EXPECT_THAT(ui.calls, ElementsAre("choose"));
    EXPECT_EQ(list.Count(), 0U);
}

TEST(UpdateTool, RegistersANewFileAndShowsItsPathWithoutAMessage) {
    ImageList list;
    RecordingUi ui(std::string("/c/img/a.iso"));

    RunUpdateTool(list, ui);

    EXPECT_THAT(ui.calls, ElementsAre("choose", "path /c/img/a.iso", "refresh"));
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "/c/img/a.iso");
}

TEST(UpdateTool, TellsThePersonAFileIsAlreadyThereBeforeRefreshingTheFields) {
    ImageList list;
    EXPECT_TRUE(list.AddImage("/c/x/notes.txt"));
    RecordingUi ui(std::string("/e/notes.txt"));

    RunUpdateTool(list, ui);

    EXPECT_THAT(ui.calls,
                ElementsAre("choose", "path /e/notes.txt", "message 文件已经存在！", "refresh"));
    EXPECT_EQ(ui.pathText, "/e/notes.txt");
    ASSERT_EQ(list.Count(), 1U);
    EXPECT_EQ(list.At(0), "/e/notes.txt");
}

}  // namespace
}  // namespace tarnwick
