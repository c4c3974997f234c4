#include "cli/JobRecord.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/ProgrammerJson.h"
#include "platform/Files.h"
#include "platform/Sha256.h"

namespace tarnwick::cli {

nlohmann::json PresenceJson(const ProgrammerPresence& programmer) {
    return programmer ? ProgrammerJson(*programmer) : nlohmann::json(nullptr);
}

std::string UtcTimestamp(std::chrono::system_clock::time_point time) {
    // The calendar of <chrono>, not gmtime_r: Windows has no gmtime_r.
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()),
                  int(clock.subseconds().count()));
    return text;
}

std::string RecordLine(const JobRecord& r, const std::string& host) {
    // In the order a person reads a line, not sorted by name.
    const nlohmann::ordered_json line = {
        {"time", UtcTimestamp(r.time)},
        {"host", host},
        {"version", TARNWICK_VERSION},
        {"command", r.command},
        {"file", r.file},
        {"size", r.size ? nlohmann::ordered_json(*r.size) : nullptr},
        {"sha256", r.size ? nlohmann::ordered_json(r.sha256) : nullptr},
        {"programmer", PresenceJson(r.programmer)},
        {"exit", r.exit},
        {"ending", r.ending},
        {"detail", r.detail},
        {"seconds", r.seconds},
        {"verified", r.verified ? nlohmann::ordered_json(*r.verified) : nullptr},
    };
    // A path or a fault text is not always UTF-8; the record must still be written.
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

Result<FileDigest> DigestFile(const std::string& path) {
    Sha256 sha;
    FileDigest digest;
    const Result<void> read = ReadRegularFile(path, [&](std::span<const std::uint8_t> bytes) {
        sha.Update(bytes);
        digest.size += bytes.size();
    });
    if (!read) {
        return Fail(read.error());
    }
    static constexpr char kHex[] = "0123456789abcdef";
    for (const std::uint8_t b : sha.Final()) {
        digest.sha256 += kHex[b >> 4];
        digest.sha256 += kHex[b & 0xF];
    }
    return digest;
}

Result<JobLog> JobLog::Open(const std::string& path) {
    // Not a FIFO or a device: a record there is no record.
    Result<std::unique_ptr<AppendFile>> file = AppendFile::Open(path);
    if (!file) {
        return Fail(std::move(file.error()));
    }
    return JobLog(std::move(*file));
}

JobLog::JobLog(std::unique_ptr<AppendFile> opened) : file(std::move(opened)) {}

JobLog::JobLog(JobLog&&) noexcept = default;

JobLog::~JobLog() = default;

Result<void> JobLog::Append(const std::string& line) {
    return file->Append(line + '\n');
}

}  // namespace tarnwick::cli
