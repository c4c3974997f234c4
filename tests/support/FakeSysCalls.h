#pragma once

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "link/CommandBlock.h"
#include "platform/linux/SysCalls.h"

namespace tarnwick::testing {

constexpr int kFd = 7;

// Plays the kernel: records the SG_IO header it was given and answers as told.
class FakeSysCalls final : public SysCalls {
  public:
    int Open(const char* path, int flags) override {
        openedPaths.emplace_back(path);
        openFlags = flags;
        if (openErrno != 0) {
            errno = openErrno;
            return -1;
        }
        fdFlags = flags & ~O_CLOEXEC;
        return kFd;
    }
    int Close(int fd) override {
        closed.push_back(fd);
        return 0;
    }
    int GetFlags(int) override { return fdFlags; }
    int SetFlags(int, int flags) override {
        fdFlags = flags;
        return 0;
    }
    int Fstat(int, struct stat* st) override {
        *st = {};
        st->st_mode = mode;
        st->st_rdev = rdev;
        return 0;
    }
    int SgIo(int, sg_io_hdr* header) override {
        seen = *header;
        std::copy_n(header->cmdp, std::min<std::size_t>(header->cmd_len, 16), seenCdb.begin());
        if (ioctlErrno != 0) {
            errno = ioctlErrno;
            return -1;
        }
        // The kernel fills up to mx_sb_len bytes of sense and all of a data-in phase; given that
        // many, AddressSanitizer proves both areas really are that large. The sense length it
        // reports is the whole sense's, more than a real kernel says: the transport's own bound
        // must keep it within its area.
        std::copy_n(sense.begin(), std::min<std::size_t>(sense.size(), header->mx_sb_len),
                    header->sbp);
        header->sb_len_wr = static_cast<unsigned char>(std::min<std::size_t>(sense.size(), 255));
        if (header->dxfer_direction == SG_DXFER_FROM_DEV) {
            std::fill_n(static_cast<std::uint8_t*>(header->dxferp), header->dxfer_len, 0xA5);
        }
        header->host_status = hostStatus;
        header->driver_status = driverStatus;
        header->status = scsiStatus;
        header->resid = resid;
        return 0;
    }

    // What the next calls do.
    int openErrno = 0;
    mode_t mode = S_IFCHR | 0660;
    dev_t rdev = 0;
    int ioctlErrno = 0;
    unsigned short hostStatus = 0;
    unsigned short driverStatus = 0;
    unsigned char scsiStatus = 0;
    int resid = 0;  // bytes of the data phase that did not move
    std::vector<std::uint8_t> sense;

    // What they were given.
    std::vector<std::string> openedPaths;
    int openFlags = 0;
    int fdFlags = 0;
    sg_io_hdr seen{};
    CommandBlock seenCdb{};
    std::vector<int> closed;
};

}  // namespace tarnwick::testing
