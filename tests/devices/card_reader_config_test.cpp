#include <gtest/gtest.h>

#include <map>
#include <string>

#include "devices/card_reader.h"
#include "devices/device_io.h"
#include "devices/sim_reader.h"
#include "devices/ssfdc_driver.h"
#include "platform/profile.h"
#include "support/card_reader_scope.h"

using kestra::platform::CardReaderSettings;
using kestra::platform::ConfigureCardReader;
using kestra::platform::ConfiguredDevice;
using kestra::platform::ConfiguredSimCard;
using kestra::platform::ParseCardReaderSettings;
using kestra::platform::ReaderAccess;
using kestra::platform::ReaderBackend;
using kestra::testing::EnvironmentScope;
using kestra::testing::TempFolder;
using kestra::testing::WindowsFolderScope;

namespace {

std::optional<CardReaderSettings> parse(std::map<std::string, std::string> values) {
    return ParseCardReaderSettings([&](const char* variable) -> std::optional<std::string> {
        auto it = values.find(variable);
        return it == values.end() ? std::nullopt : std::optional(it->second);
    });
}

// Clears the four variables for a test, so the settings file or the defaults count.
struct CleanEnvironment {
    EnvironmentScope reader{kestra::platform::kCardReaderVariable, std::nullopt};
    EnvironmentScope card{kestra::platform::kSimCardVariable, std::nullopt};
    EnvironmentScope type{kestra::platform::kSimCardTypeVariable, std::nullopt};
    EnvironmentScope port{kestra::platform::kSimPortVariable, std::nullopt};
};

}  // namespace

TEST(CardReaderSettings, NamesAndNumbersAreReadAndUnknownReadersRefused) {
    auto defaults = parse({});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->backend, ReaderBackend::Simulated);
    EXPECT_EQ(defaults->access(), ReaderAccess::Ports);
    EXPECT_EQ(defaults->simPort, 0x378);
    EXPECT_EQ(defaults->simCardType, 0x73);
    EXPECT_TRUE(defaults->simCard.ends_with("/simcard.img"));

    auto driver = parse({{"KESTRA_CARD_READER", "sim-driver"},
                         {"KESTRA_SIM_PORT", "0x278"},
                         {"KESTRA_SIM_CARD_TYPE", "121"},
                         {"KESTRA_SIM_CARD", "none"}});
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver->access(), ReaderAccess::Driver);
    EXPECT_EQ(driver->simPort, 0x278);
    EXPECT_EQ(driver->simCardType, 0x79);
    EXPECT_EQ(driver->simCard, "none");

    auto ppdev = parse({{"KESTRA_CARD_READER", "ppdev:/dev/parport3"}});
    ASSERT_TRUE(ppdev);
    EXPECT_EQ(ppdev->backend, ReaderBackend::Ppdev);
    EXPECT_EQ(ppdev->device, "/dev/parport3");
    EXPECT_EQ(parse({{"KESTRA_CARD_READER", "ppdev"}})->device, "");
    EXPECT_EQ(parse({{"KESTRA_CARD_READER", "raw"}})->backend, ReaderBackend::RawPorts);

    EXPECT_FALSE(parse({{"KESTRA_CARD_READER", "ppdev:"}}));
    EXPECT_FALSE(parse({{"KESTRA_CARD_READER", "Sim"}}));
    EXPECT_FALSE(parse({{"KESTRA_CARD_READER", "raw:/dev/port"}}));
}

TEST(CardReaderSettings, TheEnvironmentWinsOverTheSettingsFile) {
    CleanEnvironment clean;
    TempFolder windows;
    WindowsFolderScope scope(windows.path());
    windows.write("Fabricon.ini", "[CardReader]\r\nReader=sim-driver\r\nSimPort=632\r\n");
    auto settings = kestra::platform::ReadCardReaderSettings();
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->backend, ReaderBackend::SimulatedDriver);
    EXPECT_EQ(settings->simPort, 632);
    EXPECT_EQ(settings->simCard, windows.path() + "/simcard.img");

    EnvironmentScope reader(kestra::platform::kCardReaderVariable, std::string("raw"));
    settings = kestra::platform::ReadCardReaderSettings();
    EXPECT_EQ(settings->backend, ReaderBackend::RawPorts);
    EXPECT_EQ(settings->simPort, 632);
}

TEST(ConfiguredReader, MakesTheSimulatedCardOnceAndKeepsItWhileTheSettingsStay) {
    CleanEnvironment clean;
    TempFolder windows;
    WindowsFolderScope scope(windows.path());
    EnvironmentScope type(kestra::platform::kSimCardTypeVariable, std::string("0x6E"));
    EnvironmentScope base(kestra::platform::kSimPortVariable, std::string("0x278"));

    ASSERT_EQ(ConfigureCardReader(), ReaderAccess::Ports);
    auto card = ConfiguredSimCard();
    ASSERT_TRUE(card);
    EXPECT_EQ(card->geometry().device, 0x6E);
    EXPECT_EQ(card->path(), windows.path() + "/simcard.img");
    card->page(3)[0] = 0x12;
    ConfigureCardReader();
    EXPECT_EQ(ConfiguredSimCard(), card);
    // The configured ports answer at the configured base: the card's ID.
    auto& ports = kestra::platform::ConfiguredPorts();
    EXPECT_EQ(ports.in(0x27A), 0xCC);
    EXPECT_EQ(ports.in(0x37A), 0xFF);
    EXPECT_EQ(ConfiguredDevice(kestra::platform::ssfdc::kDeviceName), nullptr);

    // Another reader: the driver device appears, on the same image (opened, not made anew).
    EnvironmentScope driver(kestra::platform::kCardReaderVariable, std::string("sim-driver"));
    ASSERT_EQ(ConfigureCardReader(), ReaderAccess::Driver);
    auto again = ConfiguredSimCard();
    ASSERT_TRUE(again);
    EXPECT_NE(again, card);
    EXPECT_EQ(again->page(3)[0], 0x12);
    EXPECT_NE(ConfiguredDevice(kestra::platform::ssfdc::kDeviceName), nullptr);
    EXPECT_EQ(ConfiguredDevice("Other"), nullptr);

    EnvironmentScope unknown(kestra::platform::kCardReaderVariable, std::string("bogus"));
    EXPECT_EQ(ConfigureCardReader(), std::nullopt);
    EXPECT_EQ(kestra::platform::ConfiguredPorts().in(0x27A), 0xFF);
}

TEST(ConfiguredReader, AnImageThatIsNoCardLeavesTheReaderEmpty) {
    CleanEnvironment clean;
    TempFolder folder;
    WindowsFolderScope scope(folder.path());
    EnvironmentScope card(kestra::platform::kSimCardVariable, folder.write("bad.img", "garbage"));
    testing::internal::CaptureStderr();
    ConfigureCardReader();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the card service reports it";
    EXPECT_EQ(ConfiguredSimCard(), nullptr);
    EXPECT_EQ(kestra::platform::ConfiguredSimCardProblem(),
              "The simulated card cannot be used: " + folder.file("bad.img") +
                  " is not a card image (image offset 0: card image header needs 64 bytes, 7 "
                  "remain).");
    EXPECT_EQ(folder.read("bad.img"), "garbage");
}

TEST(Devices, OpenOnlyByDeviceNameAndWithoutSharingOnlyOnce) {
    auto device = std::make_shared<kestra::platform::SimDriverDevice>();
    kestra::platform::DeviceScope scope("TestDevice", device);
    EXPECT_EQ(CreateFile("TestDevice", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(kestra::platform::LastDeviceError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CreateFile("\\\\.\\Absent", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);

    HANDLE first = CreateFile("\\\\.\\TestDevice", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFile("\\\\.\\TestDevice", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(kestra::platform::LastDeviceError(), ERROR_SHARING_VIOLATION);

    BYTE status = 0;
    DWORD returned = 7;
    EXPECT_TRUE(DeviceIoControl(first, 0x9C402480, nullptr, 0, &status, 1, &returned, nullptr));
    EXPECT_EQ(returned, 1u);
    EXPECT_EQ(status, 0xFF);  // an empty reader
    EXPECT_FALSE(DeviceIoControl(first, 0x12345678, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(kestra::platform::LastDeviceError(), ERROR_NOT_SUPPORTED);
    // A read request must be 8 bytes, and the output must hold the count it asks for.
    BYTE request[8] = {0, 0, 0, 0, 16, 0, 0, 0};
    BYTE page[8];
    EXPECT_FALSE(DeviceIoControl(first, 0x9C4024C0, request, 7, page, 8, &returned, nullptr));
    EXPECT_FALSE(DeviceIoControl(first, 0x9C4024C0, request, 8, page, 8, &returned, nullptr));
    EXPECT_EQ(kestra::platform::LastDeviceError(), ERROR_INSUFFICIENT_BUFFER);
    BYTE lying[11] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(DeviceIoControl(first, 0x9C402500, lying, 11, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(kestra::platform::LastDeviceError(), ERROR_INVALID_PARAMETER);

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_FALSE(DeviceIoControl(first, 0x9C402480, nullptr, 0, &status, 1, &returned, nullptr));
    EXPECT_EQ(kestra::platform::LastDeviceError(), ERROR_INVALID_HANDLE);
    HANDLE second = CreateFile("\\\\.\\TestDevice", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    CloseHandle(second);
    EXPECT_GE(device->requests(), 5u);
}
