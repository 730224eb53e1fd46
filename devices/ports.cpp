#include "devices/ports.h"

#include "devices/card_reader.h"

namespace kestra::platform {

namespace {
std::shared_ptr<PortIo>& installed() {
    static std::shared_ptr<PortIo> ports;
    return ports;
}
}  // namespace

PortIo& Ports() {
    if (auto& ports = installed()) return *ports;
    return ConfiguredPorts();
}

std::shared_ptr<PortIo> InstallPorts(std::shared_ptr<PortIo> ports) {
    auto previous = std::move(installed());
    installed() = std::move(ports);
    return previous;
}

}  // namespace kestra::platform
