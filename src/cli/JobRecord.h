#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "link/Fault.h"
#include "link/ProgrammerPresence.h"
#include "platform/Files.h"

namespace tarnwick::cli {

// One job as --log keeps it: what ran, on which file and programmer, and how it ended.
struct JobRecord {
    std::chrono::system_clock::time_point time;  // when the job started
    std::string command;                         // "write", "read"
    std::string file;
    std::optional<std::uint64_t> size;  // none when the file could not be read
    std::string sha256;                 // of the file's bytes, hex; empty with no size
    ProgrammerPresence programmer;
    int exit = 0;
    std::string ending;
    std::string detail;  // the fault's text; empty on success
    double seconds = 0;
    std::optional<bool> verified;  // none when no verify was asked
};

// The programmer as list --json shows it (ProgrammerJson); null for none.
nlohmann::json PresenceJson(const ProgrammerPresence& programmer);

// "2026-12-07T20:18:12.345Z"
std::string UtcTimestamp(std::chrono::system_clock::time_point time);

// The record as one line of JSON, without the newline; `host` and the tool's version added.
std::string RecordLine(const JobRecord& record, const std::string& host);

struct FileDigest {
    std::uint64_t size = 0;
    std::string sha256;  // hex
};
Result<FileDigest> DigestFile(const std::string& path);

// A log of jobs, one line each. Opened before the job, so a log that cannot take records stops
// the command before the flash is touched.
class JobLog {
  public:
    static Result<JobLog> Open(const std::string& path);
    JobLog(JobLog&& other) noexcept;
    JobLog& operator=(JobLog&&) = delete;
    ~JobLog();

    // The line and its newline in one write, on disk before this returns: a power cut leaves
    // the log whole, and the next job cannot start before its predecessor's record is kept.
    Result<void> Append(const std::string& line);

  private:
    explicit JobLog(std::unique_ptr<AppendFile> file);
    std::unique_ptr<AppendFile> file;
};

}  // namespace tarnwick::cli
