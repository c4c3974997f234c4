// Only what the job tests rely on and cannot see themselves: the emulated programmer refuses a
// page written over old data, so a job that skips the erase fails there instead of passing.
#include <gtest/gtest.h>

#include "emulator/EmulatedProgrammer.h"
#include "link/CCodeProgram.h"

namespace tarnwick {
namespace {

struct EmulatedProgrammerTest : ::testing::Test {
    std::shared_ptr<EmulatedProgrammer> device = std::make_shared<EmulatedProgrammer>(0x40000);
    CCodeProgram program;
    std::vector<std::uint8_t> page = std::vector<std::uint8_t>(512, 0x42);
    void SetUp() override { program.SetDevice(device); }
    std::int32_t WriteAndAsk(std::int32_t address) {
        program.WriteFlash(address, 512, page.data());
        std::int32_t status = -1;
        EXPECT_TRUE(program.GetWriteStatus(status));
        return status;
    }
};

TEST_F(EmulatedProgrammerTest, ReportsAProgrammingFaultForAPageWrittenOverOldData) {
    EXPECT_EQ(WriteAndAsk(0), 0);
    page.assign(512, 0xBD);
    EXPECT_EQ(WriteAndAsk(0), 2) << "not erased in between";
    ASSERT_TRUE(program.EraseBlock(0));
    EXPECT_EQ(WriteAndAsk(0), 0);
}

}  // namespace
}  // namespace tarnwick
