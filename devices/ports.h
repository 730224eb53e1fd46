// Byte-wide port input and output.
//
// A program reaches I/O ports (the registers of a parallel port, for example) through one
// process-wide port backend. Which backend serves the ports is a matter of configuration
// (platform/card_reader.h): a simulated card reader, a real parallel port through the
// kernel's parport device or raw port access. Tests install their own backend for a scope.
// An address that no device answers reads 0xFF, as an open bus does, and ignores writes.
#pragma once

#include <memory>

#include "platform/win_types.h"

namespace kestra::platform {

class PortIo {
  public:
    virtual ~PortIo() = default;
    virtual BYTE in(WORD port) = 0;
    virtual void out(WORD port, BYTE value) = 0;
};

// Nothing attached: every read gives 0xFF, every write is lost.
class OpenBus final : public PortIo {
  public:
    BYTE in(WORD) override { return 0xFF; }
    void out(WORD, BYTE) override {}
};

// The backend in use: the installed one, or else the configured one, made on first use.
PortIo& Ports();
// Installs a backend for the whole process (null goes back to the configured one); returns
// the previous installed backend.
std::shared_ptr<PortIo> InstallPorts(std::shared_ptr<PortIo> ports);

// Installs a backend for the lifetime of the scope.
class PortScope {
  public:
    explicit PortScope(std::shared_ptr<PortIo> ports) : previous_(InstallPorts(std::move(ports))) {}
    ~PortScope() { InstallPorts(std::move(previous_)); }
    PortScope(const PortScope&) = delete;
    PortScope& operator=(const PortScope&) = delete;

  private:
    std::shared_ptr<PortIo> previous_;
};

// One access through the backend in use.
inline BYTE ReadPort(WORD port) {
    return Ports().in(port);
}
inline void WritePort(WORD port, BYTE value) {
    Ports().out(port, value);
}

}  // namespace kestra::platform
