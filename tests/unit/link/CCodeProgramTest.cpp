#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "BitwiseCrc.h"
#include "link/CCodeProgram.h"

namespace tarnwick {
namespace {

// A device that answers from a script and remembers each request as it was sent.
struct ScriptedDevice : PassThrough {
    // Whether the exchange succeeds, and the reply copied into the caller's buffer even if not.
    std::deque<std::pair<bool, std::vector<std::uint8_t>>> script;
    std::vector<PassThroughRequest> requests;

    Result<void> Exchange(const PassThroughRequest& request) override {
        requests.push_back(request);
        if (script.empty()) {
            return Fail("unscripted request");
        }
        const auto [ok, reply] = script.front();
        script.pop_front();
        std::ranges::copy(reply, static_cast<std::uint8_t*>(request.buffer));
        return ok ? Result<void>{} : Fail("scripted failure");
    }
};

struct CCodeProgramTest : ::testing::Test {
    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    CCodeProgram program;
    void SetUp() override { program.SetDevice(device); }
    void Answer(bool ok, std::vector<std::uint8_t> reply = {}) {
        device->script.push_back({ok, std::move(reply)});
    }
};

// The data phase never goes through a copy; reads wait ten seconds, writes forty.
TEST_F(CCodeProgramTest, PagesGoWithTheCallersBufferTheirCrcAndTheirDirectionsTimeOut) {
    std::vector<std::uint8_t> page(512, 0x5A);
    Answer(true, {0xAA, 0xBB});
    EXPECT_TRUE(program.ReadFlash(0x123400, page.data(), 512));
    EXPECT_EQ(page[0], 0xAA);
    Answer(false);
    EXPECT_FALSE(program.WriteFlash(0x200, 512, page.data()));

    const PassThroughRequest& read = device->requests.at(0);
    const PassThroughRequest& write = device->requests.at(1);
    EXPECT_EQ(read.cdb, MakePageRead(0x123400, 512));
    EXPECT_EQ(write.cdb, MakePageWrite(0x200, 512, testing::BitwiseCrc(page)));
    EXPECT_EQ(read.direction, DataDirection::In);
    EXPECT_EQ(write.direction, DataDirection::Out);
    for (const PassThroughRequest* r : {&read, &write}) {
        EXPECT_EQ(r->transferLength, 512u);
        EXPECT_EQ(r->buffer, page.data());
    }
    EXPECT_EQ(read.timeout, std::chrono::seconds(10));
    EXPECT_EQ(write.timeout, std::chrono::seconds(40));
}

TEST_F(CCodeProgramTest, BlockEraseReadsSixteenReplyBytesAndNeedsTheEchoFbZero) {
    Answer(true, {0xFB, 0x00, 0x77});
    EXPECT_TRUE(program.EraseBlock(0x30000));
    EXPECT_EQ(device->requests[0].cdb, MakeBlockErase(0x30000));
    EXPECT_EQ(device->requests[0].transferLength, 16u) << "while the block's length bytes are 0";
    EXPECT_EQ(device->requests[0].timeout, std::chrono::seconds(10));

    Answer(true, {0xFB, 0x01});
    const Result<void> refused = program.EraseBlock(0);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().Describe(), "erase reply fb 01, expected fb 00");
    Answer(false, {0xFB, 0x00});
    EXPECT_FALSE(program.EraseBlock(0));

    // Never a previous reply read as its own: the device claims success but sends nothing.
    Answer(true, {0xFB, 0x00});
    ASSERT_TRUE(program.EraseBlock(0));
    Answer(true, {});
    EXPECT_FALSE(program.EraseBlock(0x10000));
}

// A failed request leaves the value as it was, a malformed reply sets it to 0, a good one to the
// status byte (zero-extended). The link query's answer is never looked at; its failures are
// ProgramJobEnding's.
TEST_F(CCodeProgramTest, StatusReadersFollowTheOutValueRules) {
    const struct {
        bool ok;
        std::vector<std::uint8_t> reply;
        bool succeeds;
        std::int32_t value;
    } cases[] = {
        {true, {0xFC, 0x07, 0x05}, true, 5},
        {true, {0xFC, 0x07, 0xFF}, true, 255},
        {true, {0xFC, 0x01, 0x00}, false, 0},
        {false, {0xFC, 0x07, 0x00}, false, 99},
        {true, {}, false, 0},  // never the last page's "taken" read again
    };
    for (const auto& c : cases) {
        std::int32_t value = 99;
        Answer(c.ok, c.reply);
        EXPECT_EQ(program.GetWriteStatus(value).has_value(), c.succeeds);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(device->requests.back().cdb, MakeStatusQuery(7, 0, 16));
    }
}

TEST_F(CCodeProgramTest, RefusesWhatWouldOverrunItsBuffersWithoutSending) {
    EXPECT_FALSE(program.QueryStatus(7, 0, 513));
    EXPECT_FALSE(program.ReadFlash(0, nullptr, 512));
    EXPECT_FALSE(program.WriteFlash(0, -1, nullptr));
    EXPECT_TRUE(device->requests.empty());
}

}  // namespace
}  // namespace tarnwick
