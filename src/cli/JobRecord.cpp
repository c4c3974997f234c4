#include "cli/JobRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "cli/ProgrammerJson.h"
#include "jobs/FileKind.h"
#include "platform/Sha256.h"

namespace tarnwick::cli {

nlohmann::json PresenceJson(const ProgrammerPresence& programmer) {
    return programmer ? ProgrammerJson(*programmer) : nlohmann::json(nullptr);
}

std::string UtcTimestamp(std::chrono::system_clock::time_point time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms % 1000));
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return SystemFault(path, errno);
    }
    // A device or a FIFO could be read for ever; only a file has bytes to sum.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(path + " is not a regular file");
    }
    Sha256 sha;
    FileDigest digest;
    std::array<std::uint8_t, 64 * 1024> buffer;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return SystemFault(path, error);
        }
        if (n == 0) {
            break;
        }
        sha.Update(std::span(buffer).first(static_cast<std::size_t>(n)));
        digest.size += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    static constexpr char kHex[] = "0123456789abcdef";
    for (const std::uint8_t b : sha.Final()) {
        digest.sha256 += kHex[b >> 4];
        digest.sha256 += kHex[b & 0xF];
    }
    return digest;
}

Result<JobLog> JobLog::Open(const std::string& path) {
    // Not a FIFO or a device: a record there is no record. Opened without blocking and judged
    // by what was opened, so nothing swapped in under the name can make the open wait.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        return SystemFault(path, errno);
    }
    JobLog log(fd, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return SystemFault(path, errno);
    }
    if (auto regular = RequireRegularFile(path, st.st_mode); !regular) {
        return Fail(std::move(regular.error()));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return SystemFault(path, errno);
    }
    return log;
}

JobLog::JobLog(int descriptor, std::string logPath) : fd(descriptor), path(std::move(logPath)) {}

JobLog::JobLog(JobLog&& other) noexcept : fd(other.fd), path(std::move(other.path)) {
    other.fd = -1;
}

JobLog::~JobLog() {
    if (fd >= 0) {
        ::close(fd);
    }
}

Result<void> JobLog::Append(const std::string& line) {
    const std::string whole = line + '\n';
    ssize_t n;
    do {
        n = ::write(fd, whole.data(), whole.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return SystemFault(path, errno);
    }
    if (static_cast<std::size_t>(n) != whole.size()) {
        return Fail(path + ": the record was cut short (disk full?)");
    }
    if (::fsync(fd) != 0) {
        return SystemFault(path, errno);
    }
    return {};
}

}  // namespace tarnwick::cli
