#include "devices/parallel_port.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define KESTRA_HAVE_RAW_PORTS 1
#endif

#include <cerrno>

#include "platform/files.h"
#include "platform/profile.h"

namespace kestra::platform {

namespace {

// Parallel port bases are aligned to four: data, status and control, then a register the
// reader does not use.
constexpr WORD kRegisterMask = 0x3;
enum Register : WORD { kData = 0, kStatus = 1, kControl = 2 };

WORD baseOf(WORD port) {
    return static_cast<WORD>(port & ~kRegisterMask);
}
WORD registerOf(WORD port) {
    return static_cast<WORD>(port & kRegisterMask);
}

}  // namespace

int PortSystem::open(const char* path, int flags) {
    return ::open(path, flags);
}
int PortSystem::close(int fd) {
    return ::close(fd);
}
int PortSystem::ioctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}

#ifdef KESTRA_HAVE_RAW_PORTS
int PortSystem::ioperm(unsigned long from, unsigned long count, int on) {
    return ::ioperm(from, count, on);
}
BYTE PortSystem::inb(WORD port) {
    return ::inb(port);
}
void PortSystem::outb(BYTE value, WORD port) {
    ::outb(value, port);
}
#else
int PortSystem::ioperm(unsigned long, unsigned long, int) {
    errno = ENOSYS;
    return -1;
}
BYTE PortSystem::inb(WORD) {
    return 0xFF;
}
void PortSystem::outb(BYTE, WORD) {}
#endif

std::optional<std::string> PortSystem::readFile(const std::string& path) {
    return ReadWholeFile(path);
}

std::shared_ptr<PortSystem> HostPortSystem() {
    static auto system = std::make_shared<PortSystem>();
    return system;
}

std::string ParportDevice(int index) {
    return "/dev/parport" + std::to_string(index);
}
std::string ParportBaseFile(int index) {
    return "/proc/sys/dev/parport/parport" + std::to_string(index) + "/base-addr";
}

std::optional<std::string> FindParportDevice(PortSystem& system, WORD base) {
    for (int index = 0; index < kMaxParports; ++index) {
        auto text = system.readFile(ParportBaseFile(index));
        if (text && ParseProfileNumber(*text) == base) return ParportDevice(index);
    }
    return std::nullopt;
}

PpdevPorts::~PpdevPorts() {
    release();
}

void PpdevPorts::release() {
    for (auto [base, fd] : claimed_) {
        if (fd < 0) continue;
        system_->ioctl(fd, PPRELEASE, nullptr);
        system_->close(fd);
    }
    claimed_.clear();
}

std::optional<std::string> PpdevPorts::deviceOf(WORD base) {
    if (!device_.empty()) return device_;
    return FindParportDevice(*system_, base);
}

// Claims the port for this program alone; where another driver shares the port (a printer
// driver, say) an exclusive claim is refused, and the port is claimed as a shared one.
int PpdevPorts::claim(const std::string& device) {
    for (bool exclusive : {true, false}) {
        const int fd = system_->open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) return -1;
        if ((!exclusive || system_->ioctl(fd, PPEXCL, nullptr) == 0) &&
            system_->ioctl(fd, PPCLAIM, nullptr) == 0)
            return fd;
        system_->close(fd);
    }
    return -1;
}

int PpdevPorts::deviceFor(WORD base) {
    if (auto it = claimed_.find(base); it != claimed_.end()) return it->second;
    const auto device = deviceOf(base);
    const int fd = device ? claim(*device) : -1;
    claimed_[base] = fd;
    return fd;
}

BYTE PpdevPorts::in(WORD port) {
    const int fd = deviceFor(baseOf(port));
    unsigned char value = 0xFF;
    if (fd < 0) return value;
    unsigned long request = 0;
    switch (registerOf(port)) {
        case kData:
            request = PPRDATA;
            break;
        case kStatus:
            request = PPRSTATUS;
            break;
        case kControl:
            request = PPRCONTROL;
            break;
        default:
            return value;
    }
    if (system_->ioctl(fd, request, &value) != 0) return 0xFF;
    return value;
}

void PpdevPorts::out(WORD port, BYTE value) {
    const int fd = deviceFor(baseOf(port));
    if (fd < 0) return;
    unsigned char byte = value;
    switch (registerOf(port)) {
        case kData:
            system_->ioctl(fd, PPWDATA, &byte);
            break;
        case kControl:
            system_->ioctl(fd, PPWCONTROL, &byte);
            break;
        default:
            break;  // the status register cannot be written
    }
}

bool RawPorts::granted(WORD port) {
    const WORD base = baseOf(port);
    if (registerOf(port) > kControl) return false;
    auto it = granted_.find(base);
    if (it == granted_.end()) it = granted_.emplace(base, system_->ioperm(base, 3, 1) == 0).first;
    return it->second;
}

BYTE RawPorts::in(WORD port) {
    return granted(port) ? system_->inb(port) : 0xFF;
}

void RawPorts::out(WORD port, BYTE value) {
    if (granted(port)) system_->outb(value, port);
}

}  // namespace kestra::platform
