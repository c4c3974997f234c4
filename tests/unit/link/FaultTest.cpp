#include "link/Fault.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

Result<int> Failing() {
    return Fail("No such device (ENODEV)", 19);
}

// Each level puts what it was doing in front, outermost first; errno stays with the cause.
TEST(Fault, EachLevelPrefixesItsContextAndKeepsTheCause) {
    const Result<int> failed =
        Within(Within(Failing(), "SG_IO on /dev/sg0"), "page write at 0x001200");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().Describe(),
              "page write at 0x001200: SG_IO on /dev/sg0: No such device (ENODEV)");
    EXPECT_EQ(failed.error().sysErrno, 19);
    EXPECT_EQ(Within(Result<int>(7), "unused").value(), 7);
    EXPECT_EQ(Fault::Because("cause").Within("").Describe(), "cause") << "no empty level";
}

// SgTransportTest pins the whole text of a CHECK CONDITION with its sense bytes.
TEST(Fault, DescribeNeverReadsSenseBeyondItsArray) {
    Fault fault = Fault::Because("CHECK CONDITION");
    fault.scsi.scsiStatus = 0x02;
    fault.scsi.senseLength = 40;
    EXPECT_EQ(fault.Describe().size(),
              std::string("CHECK CONDITION, SCSI status 0x02, sense").size() + 32 * 3);
}

}  // namespace
}  // namespace tarnwick
