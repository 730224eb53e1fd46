// Which SmartMedia card reader a program reaches, and by which path.
//
// The reader is chosen by configuration, never by building differently: an environment
// variable, or else a key of the section [CardReader] of "Fabricon.ini" in the Windows
// folder (platform/files.h), or else the default.
//
//   KESTRA_CARD_READER    key Reader     sim (default): the simulated reader, by ports
//                                        sim-driver: the simulated card behind the
//                                          simulated kernel driver, by device requests
//                                        ppdev: a real reader on the parallel port whose
//                                          base address the program uses (/dev/parportN)
//                                        ppdev:/dev/parportN: a real reader on that device
//                                        raw: a real reader by raw port access (root)
//                                        blockdev:/dev/sdX: a USB reader (or a file
//                                          standing for one) that shows the card's
//                                          logical blocks as a disk
//                                        none: nothing attached
//   KESTRA_SIM_CARD       key SimCard    the simulated card's image file (default
//                                        "simcard.img" in the Windows folder, made as a new
//                                        erased card when missing); "none": an empty reader
//   KESTRA_SIM_CARD_TYPE  key SimCardType  device code of a newly made card (default 0x73,
//                                        16 MB)
//   KESTRA_SIM_PORT       key SimPort    base address the simulated reader answers at
//                                        (default 0x378)
//
// Numbers are decimal or hexadecimal after "0x".
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "devices/device_io.h"
#include "devices/ports.h"
#include "devices/sim_card.h"

namespace kestra::platform {

inline constexpr const char* kCardReaderVariable = "KESTRA_CARD_READER";
inline constexpr const char* kSimCardVariable = "KESTRA_SIM_CARD";
inline constexpr const char* kSimCardTypeVariable = "KESTRA_SIM_CARD_TYPE";
inline constexpr const char* kSimPortVariable = "KESTRA_SIM_PORT";
inline constexpr const char* kCardReaderSettingsFile = "Fabricon.ini";
inline constexpr const char* kCardReaderSection = "CardReader";

enum class ReaderBackend { Simulated, SimulatedDriver, Ppdev, RawPorts, BlockDevice, None };
// Ports: the program drives the reader's registers itself. Driver: it sends requests to the
// reader's kernel driver. Logical: the reader shows only the card's logical blocks, as a disk.
enum class ReaderAccess { Ports, Driver, Logical };

struct CardReaderSettings {
    ReaderBackend backend = ReaderBackend::Simulated;
    std::string device;   // ppdev: the parport device (empty: found by base address);
                          // blockdev: the disk
    std::string simCard;  // image file, "none" for an empty reader
    BYTE simCardType = 0x73;
    WORD simPort = 0x378;

    ReaderAccess access() const {
        switch (backend) {
            case ReaderBackend::SimulatedDriver:
                return ReaderAccess::Driver;
            case ReaderBackend::BlockDevice:
                return ReaderAccess::Logical;
            default:
                return ReaderAccess::Ports;
        }
    }
    bool operator==(const CardReaderSettings&) const = default;
};

// Settings from a lookup of the four values by variable name (nullopt when not set);
// nullopt when the reader name is not known.
std::optional<CardReaderSettings> ParseCardReaderSettings(
    const std::function<std::optional<std::string>(const char* variable)>& lookup);
// Settings from the environment and "Fabricon.ini".
std::optional<CardReaderSettings> ReadCardReaderSettings();

// Reads the settings again and, when they changed, makes the configured backends anew:
// the port backend that Ports() falls back to and the devices that CreateFile finds. Returns
// the access path, or nullopt when the settings name no known reader (then nothing is
// attached).
std::optional<ReaderAccess> ConfigureCardReader();

// The configured backends (configuring first if that never happened).
PortIo& ConfiguredPorts();
std::shared_ptr<Device> ConfiguredDevice(const std::string& name);
// The simulated card of the configured simulated reader, or null.
std::shared_ptr<SimCard> ConfiguredSimCard();
// Why the configured simulated reader has no card although one was asked for (its image
// file cannot be opened, is no card image, cannot be made), or nullopt.
std::optional<std::string> ConfiguredSimCardProblem();
// The disk of the configured USB reader ("blockdev:"), or nullopt when another reader is
// configured.
std::optional<std::string> ConfiguredLogicalDisk();

// The file that stands for the card of the configured reader, on which a program takes the
// card (devices/card_lock.h): the simulated card's image, the USB reader's disk, the parport
// device of a real reader at the base address `port`. Nullopt when there is none: no card
// image, raw port access, nothing attached.
std::optional<std::string> ConfiguredCardFile(unsigned port);
// Lets the reader go when a program's card work is done: a parallel port claimed through its
// parport device is released for other programs until the next access.
void ReleaseConfiguredReader();

}  // namespace kestra::platform
