#include "emulator/gadget/FunctionFs.h"

#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "emulator/gadget/BulkOnly.h"

namespace tarnwick::gadget {

namespace {

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutLe16(out, static_cast<std::uint16_t>(v));
    PutLe16(out, static_cast<std::uint16_t>(v >> 16));
}

void SetLe32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// Interface, bulk-in (ep1), bulk-out (ep2): the endpoint files are named in this order.
void PutInterface(std::vector<std::uint8_t>& out, std::uint16_t maxPacket) {
    const std::uint8_t interface[] = {
        USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE,   0, 0, 2, kInterfaceClass,
        kInterfaceSubClass,    kInterfaceProtocol, 1};
    out.insert(out.end(), std::begin(interface), std::end(interface));
    for (const std::uint8_t address : {std::uint8_t{1 | USB_DIR_IN}, std::uint8_t{2}}) {
        out.push_back(USB_DT_ENDPOINT_SIZE);
        out.push_back(USB_DT_ENDPOINT);
        out.push_back(address);
        out.push_back(USB_ENDPOINT_XFER_BULK);
        PutLe16(out, maxPacket);
        out.push_back(0);  // bInterval: bulk endpoints never NAK-limit
    }
}

std::vector<std::uint8_t> Descriptors() {
    std::vector<std::uint8_t> out;
    PutLe32(out, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    PutLe32(out, 0);  // total length, set below
    PutLe32(out, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    PutLe32(out, 3);  // full-speed descriptor count
    PutLe32(out, 3);  // high-speed descriptor count
    PutInterface(out, 64);
    PutInterface(out, 512);
    SetLe32(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::vector<std::uint8_t> Strings() {
    static constexpr char kInterfaceName[] = "Programmer mass storage";
    std::vector<std::uint8_t> out;
    PutLe32(out, FUNCTIONFS_STRINGS_MAGIC);
    PutLe32(out, 0);
    PutLe32(out, 1);  // strings per language
    PutLe32(out, 1);  // languages
    PutLe16(out, 0x0409);
    out.insert(out.end(), std::begin(kInterfaceName), std::end(kInterfaceName));
    SetLe32(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& data) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    return n == static_cast<ssize_t>(data.size());
}

}  // namespace

Result<std::unique_ptr<FunctionFs>> FunctionFs::Open(const std::string& instance,
                                                     const std::string& mountPoint) {
    auto fail = [](const std::string& what) {
        return Fail(Fault::Because(std::strerror(errno), errno).Within(what));
    };
    std::error_code ec;
    std::filesystem::create_directories(mountPoint, ec);
    if (::mount(instance.c_str(), mountPoint.c_str(), "functionfs", 0, nullptr) != 0) {
        return fail("cannot mount functionfs " + instance + " at " + mountPoint);
    }
    auto unmountAndFail = [&](const std::string& what, int fd) {
        const int saved = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        ::umount(mountPoint.c_str());
        errno = saved;
        return fail(what);
    };
    const int ep0Fd = ::open((mountPoint + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
    if (ep0Fd < 0) {
        return unmountAndFail("cannot open " + mountPoint + "/ep0", -1);
    }
    if (!WriteAll(ep0Fd, Descriptors())) {
        return unmountAndFail("functionfs refused the descriptors", ep0Fd);
    }
    if (!WriteAll(ep0Fd, Strings())) {
        return unmountAndFail("functionfs refused the strings", ep0Fd);
    }
    // Non-blocking only while the endpoint is disabled: I/O then fails at once instead of
    // waiting for the next connection and landing in it, a command of the old one.
    const int inFd = ::open((mountPoint + "/ep1").c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (inFd < 0) {
        return unmountAndFail("cannot open " + mountPoint + "/ep1", ep0Fd);
    }
    const int outFd = ::open((mountPoint + "/ep2").c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (outFd < 0) {
        ::close(inFd);
        return unmountAndFail("cannot open " + mountPoint + "/ep2", ep0Fd);
    }
    return std::unique_ptr<FunctionFs>(new FunctionFs(mountPoint, ep0Fd, inFd, outFd));
}

FunctionFs::FunctionFs(std::string mountPoint_, int ep0_, int in_, int out_)
    : mountPoint(std::move(mountPoint_)), ep0(ep0_), in(in_), out(out_) {}

FunctionFs::~FunctionFs() {
    ::close(out);
    ::close(in);
    ::close(ep0);
    ::umount(mountPoint.c_str());
}

namespace {

Result<std::size_t> Moved(ssize_t n, const char* what) {
    if (n < 0) {
        const int error = errno;
        return Fail(Fault::Because(std::strerror(error), error).Within(what));
    }
    return static_cast<std::size_t>(n);
}

}  // namespace

Result<std::size_t> FunctionFs::ReadOut(std::span<std::uint8_t> buffer) const {
    return Moved(::read(out, buffer.data(), buffer.size()), "bulk-out");
}

Result<std::size_t> FunctionFs::WriteIn(std::span<const std::uint8_t> data) const {
    return Moved(::write(in, data.data(), data.size()), "bulk-in");
}

// FunctionFS halts an endpoint when it is used against its direction (and answers EBADMSG).
void FunctionFs::StallIn() const {
    std::uint8_t byte = 0;
    [[maybe_unused]] const ssize_t n = ::read(in, &byte, 1);
}

void FunctionFs::StallOut() const {
    const std::uint8_t byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(out, &byte, 1);
}

std::uint16_t FunctionFs::MaxPacketIn() const {
    usb_endpoint_descriptor descriptor{};
    if (::ioctl(in, FUNCTIONFS_ENDPOINT_DESC, &descriptor) != 0) {
        return 0;
    }
    return descriptor.wMaxPacketSize;  // little-endian on the wire, and so is this machine
}

}  // namespace tarnwick::gadget
