#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

namespace tarnwick {

// What the tool leaves behind in the temporary directory when its window closes: the scratch
// file "mydata.bin" goes, and a copy of the file last chosen stays below "programmer" under a
// name made from the file version, for whatever collects it there.
// Blocks for one file copy; any thread. Every failure is silent and leaves the other step to
// run: nothing here is worth holding up the exit for. It neither waits for nor stops a job.
class ExitCleanup {
  public:
    static constexpr const char* kScratchFile = "mydata.bin";

    // "programmer/$$$win%08x-%04x.bof" (the dollars are literal), relative to the temporary
    // directory.
    static std::filesystem::path CopyTarget(const std::array<std::uint32_t, 2>& fileVersion);

    // Deletes the scratch file, then copies `chosenFile` (a regular file) to the copy target,
    // readable by this user only. The temporary directory is usually shared, so the scratch
    // file goes only when it is a regular file of this user (the effective user, as for every
    // check here), and the copy lands only in a "programmer" directory that exists already, is
    // no link, belongs to this user and is writable by nobody else, and never over or through
    // anything under the target's name. An empty `chosenFile` copies nothing.
    static void Run(const std::filesystem::path& tempDirectory,
                    const std::filesystem::path& chosenFile,
                    const std::array<std::uint32_t, 2>& fileVersion);
};

}  // namespace tarnwick
