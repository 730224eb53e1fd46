// Real parallel ports.
//
// PpdevPorts reaches a parallel port through the kernel's parport device (/dev/parportN,
// the ppdev driver): the port is claimed on first use, exclusively where the port allows it
// (no other driver of the kernel may then use it), until release(), and each register access
// is one request to the device. A port is found by its base address P (data P, status P + 1,
// control P + 2): the device whose /proc/sys/dev/parport/parportN/base-addr starts with P.
// A backend made for one named device serves that device at whatever base it is used with.
//
// RawPorts reaches the registers directly at the base address, after asking the kernel for
// access to those three ports (ioperm, which needs root; x86 only).
//
// Both go through PortSystem, the handful of system calls they use, so that tests can run
// them against a fake. Addresses that no port answers read 0xFF and ignore writes.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "devices/ports.h"

namespace kestra::platform {

class PortSystem {
  public:
    virtual ~PortSystem() = default;
    virtual int open(const char* path, int flags);
    virtual int close(int fd);
    virtual int ioctl(int fd, unsigned long request, void* argument);
    virtual int ioperm(unsigned long from, unsigned long count, int on);
    virtual BYTE inb(WORD port);
    virtual void outb(BYTE value, WORD port);
    virtual std::optional<std::string> readFile(const std::string& path);
};

// The real system calls.
std::shared_ptr<PortSystem> HostPortSystem();

// The parport device numbered `index`, and the file that tells its base address.
std::string ParportDevice(int index);
std::string ParportBaseFile(int index);
// Devices looked at when a port is found by its base address.
inline constexpr int kMaxParports = 16;
// The parport device whose port has the base address `base`.
std::optional<std::string> FindParportDevice(PortSystem& system, WORD base);

class PpdevPorts final : public PortIo {
  public:
    explicit PpdevPorts(std::shared_ptr<PortSystem> system, std::string device = {})
        : system_(std::move(system)), device_(std::move(device)) {}
    ~PpdevPorts() override;
    PpdevPorts(const PpdevPorts&) = delete;
    PpdevPorts& operator=(const PpdevPorts&) = delete;

    BYTE in(WORD port) override;
    void out(WORD port, BYTE value) override;

    // The device of the port at `base` (the named one, or the one found by base address).
    std::optional<std::string> deviceOf(WORD base);
    // Lets every claimed port go, for other programs; the next access claims it again.
    void release();

  private:
    // The claimed device serving the port at `base`, or -1.
    int deviceFor(WORD base);
    int claim(const std::string& device);

    std::shared_ptr<PortSystem> system_;
    std::string device_;
    std::map<WORD, int> claimed_;  // base address -> claimed device, -1 when none answers
};

class RawPorts final : public PortIo {
  public:
    explicit RawPorts(std::shared_ptr<PortSystem> system) : system_(std::move(system)) {}

    BYTE in(WORD port) override;
    void out(WORD port, BYTE value) override;

  private:
    bool granted(WORD port);

    std::shared_ptr<PortSystem> system_;
    std::map<WORD, bool> granted_;  // base address -> access granted
};

}  // namespace kestra::platform
