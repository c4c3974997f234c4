#include "jobs/TransferTest.h"

#include <array>

#include "link/CCodeProgram.h"

namespace tarnwick {

TransferTestResult TransferTest::Run(std::shared_ptr<PassThrough> device, std::uint64_t boundBytes,
                                     std::stop_token stop) {
    TransferTestResult result;
    if (!device) {
        return result;
    }
    CCodeProgram program;
    program.SetDevice(std::move(device));
    // One value across cycles: a cycle whose status request fails outright keeps the last one.
    std::int32_t status = 0;
    if (!program.GetLinkStatus(status)) {
        return result;
    }
    result.started = true;

    std::array<std::uint8_t, kBlockBytes> pattern{};
    std::array<std::uint8_t, kBlockBytes> readBack{};
    const std::uint64_t cycles = boundBytes / kBlockBytes;
    std::uint32_t address = 0;
    for (std::uint64_t cycle = 0; cycle < cycles; ++cycle) {
        if (stop.stop_requested()) {
            result.cancelled = true;
            break;
        }
        for (std::size_t k = 0; k < pattern.size(); ++k) {
            pattern[k] = static_cast<std::uint8_t>(k % 64);
        }
        const auto at = static_cast<std::int32_t>(address);
        // Each command's own failure is not told: the status and the comparison after them say
        // whether the cycle went through.
        (void)program.WriteFlash(at, kBlockBytes, pattern.data());
        (void)program.GetWriteStatus(status);
        readBack.fill(0);
        (void)program.ReadFlash(at, readBack.data(), kBlockBytes);
        if (status != 0) {
            ++result.statusErrors;
            display.Text("transfer data err ..");
        }
        if (readBack != pattern) {
            ++result.compareErrors;
            display.Text("transfer compare err ..");
        }
        ++result.cycles;
        address += kBlockBytes;
        if (progress != nullptr) {
            progress->PageConfirmed((cycle + 1) * kBlockBytes, cycles * kBlockBytes);
        }
    }
    return result;
}

}  // namespace tarnwick
