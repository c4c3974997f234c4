#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "link/CCodeProgram.h"

namespace tarnwick {
namespace {

// A device that answers from a script and remembers each request as it was sent.
class ScriptedDevice : public PassThrough {
  public:
    struct Answer {
        bool ok = true;
        std::vector<std::uint8_t> reply;  // copied into the caller's buffer when ok
        std::uint32_t residual = 0;       // reported even when ok, as a careless transport might
    };
    std::deque<Answer> script;
    std::vector<PassThroughRequest> requests;

    bool Exchange(const PassThroughRequest& request, TransferFault* fault) override {
        requests.push_back(request);
        Answer a = script.empty() ? Answer{} : script.front();
        if (!script.empty()) {
            script.pop_front();
        }
        if (!a.ok) {
            fault->what = "scripted failure";
            return false;
        }
        if (!a.reply.empty()) {
            std::memcpy(request.buffer, a.reply.data(), a.reply.size());
        }
        fault->residual = a.residual;
        return true;
    }
};

struct CCodeProgramTest : ::testing::Test {
    std::shared_ptr<ScriptedDevice> device = std::make_shared<ScriptedDevice>();
    CCodeProgram program;
    void SetUp() override { ASSERT_TRUE(program.SetDevice(device)); }
    void Answer(bool ok, std::vector<std::uint8_t> reply = {}, std::uint32_t residual = 0) {
        device->script.push_back({ok, std::move(reply), residual});
    }
};

// The data phase never goes through a copy; reads wait ten seconds, writes forty.
TEST_F(CCodeProgramTest, PagesGoWithTheCallersBufferTheirCrcAndTheirDirectionsTimeOut) {
    std::vector<std::uint8_t> page(512, 0x5A);
    Answer(true, {0xAA, 0xBB});
    EXPECT_TRUE(program.ReadFlash(0x123400, page.data(), 512));
    EXPECT_EQ(page[0], 0xAA);
    const std::uint16_t crc = CCodeProgram::CalcCrc16(page.data(), 512);
    Answer(false);
    EXPECT_FALSE(program.WriteFlash(0x200, 512, page.data()));
    EXPECT_EQ(program.LastFault().what, "scripted failure");

    const PassThroughRequest& read = device->requests.at(0);
    const PassThroughRequest& write = device->requests.at(1);
    EXPECT_EQ(read.cdb, MakePageRead(0x123400, 512));
    EXPECT_EQ(write.cdb, MakePageWrite(0x200, 512, crc));
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
    EXPECT_FALSE(program.EraseBlock(0));
    Answer(true, {0xFC, 0x00});
    EXPECT_FALSE(program.EraseBlock(0));
    Answer(false, {0xFB, 0x00});
    EXPECT_FALSE(program.EraseBlock(0));

    // Never a previous reply read as its own: the device claims success but sends nothing.
    Answer(true, {0xFB, 0x00});
    ASSERT_TRUE(program.EraseBlock(0));
    Answer(true, {});
    EXPECT_FALSE(program.EraseBlock(0x10000));
}

TEST_F(CCodeProgramTest, StatusReadersFollowTheOutValueRules) {
    std::int32_t value = 99;
    Answer(true, {0xFC, 0x07, 0x05});
    EXPECT_TRUE(program.GetWriteStatus(value));
    EXPECT_EQ(value, 5);
    EXPECT_EQ(device->requests[0].cdb, MakeStatusQuery(7, 0, 16));

    value = 99;
    Answer(true, {0xFC, 0x01, 0x00});
    EXPECT_FALSE(program.GetWriteStatus(value)) << "reply to the wrong sub-code";
    EXPECT_EQ(value, 0);

    value = 99;
    Answer(false, {0xFC, 0x07, 0x00});
    EXPECT_FALSE(program.GetWriteStatus(value));
    EXPECT_EQ(value, 99) << "a failed request leaves the value as it was";

    value = 99;
    Answer(true, {0xFC, 0x07, 0x00}, 13);
    EXPECT_FALSE(program.GetWriteStatus(value)) << "a reply cut short is a failed request";
    EXPECT_EQ(value, 99);
    EXPECT_EQ(program.LastFault().what, "short transfer, 3 of 16 bytes moved");

    value = 99;
    Answer(true, {0xFC, 0x01, 0xFF});
    EXPECT_TRUE(program.GetLinkStatus(value));
    EXPECT_EQ(value, 255) << "the status byte is zero-extended";

    Answer(true, {0xFC, 0x07, 0x00});
    ASSERT_TRUE(program.GetWriteStatus(value));
    Answer(true, {});
    EXPECT_FALSE(program.GetWriteStatus(value))
        << "an empty reply must not be taken as the last page's 'taken'";
}

TEST_F(CCodeProgramTest, RefusesWhatWouldOverrunItsBuffersWithoutSending) {
    EXPECT_FALSE(program.QueryStatus(7, 0, 513));
    EXPECT_FALSE(program.ReadFlash(0, nullptr, 512));
    EXPECT_FALSE(program.WriteFlash(0, -1, nullptr));
    EXPECT_TRUE(device->requests.empty());
}

}  // namespace
}  // namespace tarnwick
