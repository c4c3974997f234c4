#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tarnwick {

// What the tool leaves behind in the temporary directory when its window closes: the scratch
// file "mydata.bin" goes, and a copy of the file last chosen stays below "programmer" under a
// name made from the file version, for whatever collects it there.
// Blocks for one file copy; any thread. Every failure is silent and leaves the other step to
// run: nothing here is worth holding up the exit for. It neither waits for nor stops a job.
class ExitCleanup {
  public:
    static constexpr const char* kScratchFile = "mydata.bin";
    static constexpr const char* kCopyDirectory = "programmer";

    // "$$$win%08x-%04x.bof" (the dollars are literal), in kCopyDirectory.
    static std::string CopyName(const std::array<std::uint32_t, 2>& fileVersion);

    // Deletes the scratch file, then copies `chosenFile` to the copy's name, on UTF-8 paths.
    // The temporary directory may be shared, so both steps go through platform/TempFiles.h:
    // the scratch file goes only when it is this user's own regular file, and the copy lands
    // only in a "programmer" directory that exists already and nobody else may write into,
    // never over or through anything under its name. An empty `chosenFile` copies nothing.
    static void Run(const std::string& tempDirectory, const std::string& chosenFile,
                    const std::array<std::uint32_t, 2>& fileVersion);
};

}  // namespace tarnwick
