#include "devices/card_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "devices/parallel_port.h"
#include "devices/sim_reader.h"
#include "devices/ssfdc_driver.h"
#include "platform/files.h"
#include "platform/image_cursor.h"
#include "platform/profile.h"

namespace kestra::platform {

namespace {

struct SettingKey {
    const char* variable;
    const char* key;
};
constexpr SettingKey kSettingKeys[] = {
    {kCardReaderVariable, "Reader"},
    {kSimCardVariable, "SimCard"},
    {kSimCardTypeVariable, "SimCardType"},
    {kSimPortVariable, "SimPort"},
};

struct NamedBackend {
    const char* name;
    ReaderBackend backend;
};
constexpr NamedBackend kBackendNames[] = {
    {"sim", ReaderBackend::Simulated}, {"sim-driver", ReaderBackend::SimulatedDriver},
    {"ppdev", ReaderBackend::Ppdev},   {"raw", ReaderBackend::RawPorts},
    {"none", ReaderBackend::None},
};
// Readers that must name their device.
constexpr NamedBackend kDeviceBackends[] = {
    {"blockdev", ReaderBackend::BlockDevice},
};

struct Configured {
    std::optional<CardReaderSettings> settings;
    bool done = false;
    std::shared_ptr<PortIo> ports;
    std::shared_ptr<SimCard> card;
    std::optional<std::string> cardProblem;
    std::shared_ptr<Device> driver;
};

Configured& configured() {
    static Configured state;
    return state;
}

std::string defaultSimCard() {
    return JoinPath(WindowsFolder(), "simcard.img");
}

// The simulated card of the settings: the image file, made anew when it is missing. When it
// cannot be used, `problem` says why.
std::shared_ptr<SimCard> openSimCard(const CardReaderSettings& settings,
                                     std::optional<std::string>& problem) {
    if (settings.simCard == "none") return nullptr;
    const std::string path = ToNativePath(settings.simCard);
    try {
        if (FileExists(path)) return SimCard::Open(path);
        const auto geometry = SimCardGeometry::ForDeviceCode(settings.simCardType);
        if (!geometry) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", settings.simCardType);
            problem = "The simulated card cannot be made: no SmartMedia card has the device code " +
                      std::string(code) + ".";
            return nullptr;
        }
        std::error_code ignored;
        std::filesystem::create_directories(std::string(FolderPart(path)), ignored);
        return SimCard::OpenOrCreate(path, *geometry);
    } catch (const ImageError& error) {
        problem = "The simulated card cannot be used: " + path + " is not a card image (" +
                  error.what() + ").";
    } catch (const std::exception& error) {
        problem = "The simulated card cannot be used: " + std::string(error.what()) + ".";
    }
    return nullptr;
}

void makeBackends(Configured& state) {
    state.ports.reset();
    state.card.reset();
    state.cardProblem.reset();
    state.driver.reset();
    if (!state.settings) return;
    const auto& settings = *state.settings;
    switch (settings.backend) {
        case ReaderBackend::Simulated:
            state.card = openSimCard(settings, state.cardProblem);
            state.ports = std::make_shared<SimParallelReader>(settings.simPort, state.card);
            break;
        case ReaderBackend::SimulatedDriver:
            state.card = openSimCard(settings, state.cardProblem);
            state.driver = std::make_shared<SimDriverDevice>(state.card);
            break;
        case ReaderBackend::Ppdev:
            state.ports = std::make_shared<PpdevPorts>(HostPortSystem(), settings.device);
            break;
        case ReaderBackend::RawPorts:
            state.ports = std::make_shared<RawPorts>(HostPortSystem());
            break;
        case ReaderBackend::BlockDevice:  // opened by the card service, which knows card sizes
        case ReaderBackend::None:
            break;
    }
}

}  // namespace

std::optional<CardReaderSettings> ParseCardReaderSettings(
    const std::function<std::optional<std::string>(const char* variable)>& lookup) {
    CardReaderSettings settings;
    if (auto reader = lookup(kCardReaderVariable); reader && !reader->empty()) {
        std::string name = *reader;
        // "ppdev:" and "blockdev:" name their device after the colon.
        for (std::string_view prefix : {"ppdev:", "blockdev:"}) {
            if (!name.starts_with(prefix)) continue;
            settings.device = name.substr(prefix.size());
            if (settings.device.empty()) return std::nullopt;
            name = std::string(prefix.substr(0, prefix.size() - 1));
            break;
        }
        const auto matches = [&](const NamedBackend& n) { return name == n.name; };
        const auto* named =
            std::find_if(std::begin(kBackendNames), std::end(kBackendNames), matches);
        if (named != std::end(kBackendNames)) {
            settings.backend = named->backend;
        } else {
            const auto* withDevice =
                std::find_if(std::begin(kDeviceBackends), std::end(kDeviceBackends), matches);
            if (withDevice == std::end(kDeviceBackends) || settings.device.empty())
                return std::nullopt;
            settings.backend = withDevice->backend;
        }
    }
    auto card = lookup(kSimCardVariable);
    settings.simCard = card && !card->empty() ? *card : defaultSimCard();
    if (auto type = lookup(kSimCardTypeVariable); type && !type->empty())
        settings.simCardType = static_cast<BYTE>(ParseProfileNumber(*type));
    if (auto port = lookup(kSimPortVariable); port && !port->empty())
        settings.simPort = static_cast<WORD>(ParseProfileNumber(*port));
    return settings;
}

std::optional<CardReaderSettings> ReadCardReaderSettings() {
    return ParseCardReaderSettings([](const char* variable) -> std::optional<std::string> {
        if (const char* value = std::getenv(variable)) return std::string(value);
        for (const auto& setting : kSettingKeys) {
            if (std::string_view(setting.variable) != variable) continue;
            char buffer[1024];
            GetPrivateProfileString(kCardReaderSection, setting.key, "", buffer, sizeof buffer,
                                    kCardReaderSettingsFile);
            if (buffer[0]) return std::string(buffer);
        }
        return std::nullopt;
    });
}

std::optional<ReaderAccess> ConfigureCardReader() {
    auto& state = configured();
    auto settings = ReadCardReaderSettings();
    if (!state.done || settings != state.settings) {
        state.settings = std::move(settings);
        state.done = true;
        makeBackends(state);
    }
    if (!state.settings) return std::nullopt;
    return state.settings->access();
}

PortIo& ConfiguredPorts() {
    auto& state = configured();
    if (!state.done) ConfigureCardReader();
    if (state.ports) return *state.ports;
    static OpenBus nothing;
    return nothing;
}

std::shared_ptr<Device> ConfiguredDevice(const std::string& name) {
    auto& state = configured();
    if (!state.done) ConfigureCardReader();
    return name == ssfdc::kDeviceName ? state.driver : nullptr;
}

std::shared_ptr<SimCard> ConfiguredSimCard() {
    auto& state = configured();
    if (!state.done) ConfigureCardReader();
    return state.card;
}

std::optional<std::string> ConfiguredSimCardProblem() {
    auto& state = configured();
    if (!state.done) ConfigureCardReader();
    return state.cardProblem;
}

}  // namespace kestra::platform

namespace kestra::platform {

std::optional<std::string> ConfiguredLogicalDisk() {
    auto& state = configured();
    if (!state.done) ConfigureCardReader();
    if (!state.settings || state.settings->backend != ReaderBackend::BlockDevice)
        return std::nullopt;
    return state.settings->device;
}

}  // namespace kestra::platform

namespace kestra::platform {

std::optional<std::string> ConfiguredCardFile(unsigned port) {
    auto& state = configured();
    if (!state.done) ConfigureCardReader();
    if (!state.settings) return std::nullopt;
    switch (state.settings->backend) {
        case ReaderBackend::Simulated:
        case ReaderBackend::SimulatedDriver:
            if (state.card) return state.card->path();
            return std::nullopt;
        case ReaderBackend::BlockDevice:
            return state.settings->device;
        case ReaderBackend::Ppdev:
            if (auto ports = std::dynamic_pointer_cast<PpdevPorts>(state.ports))
                return ports->deviceOf(static_cast<WORD>(port));
            return std::nullopt;
        case ReaderBackend::RawPorts:
        case ReaderBackend::None:
            break;
    }
    return std::nullopt;
}

void ReleaseConfiguredReader() {
    auto& state = configured();
    if (auto ports = std::dynamic_pointer_cast<PpdevPorts>(state.ports)) ports->release();
}

}  // namespace kestra::platform
