// The driver device, once opened, stays open for the life of the process, so every test of
// the driver path runs in a child process of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "card_access/ssfdc_interface.h"
#include "devices/ssfdc_driver.h"
#include "platform/records.h"
#include "support/card_reader_scope.h"

using kestra::platform::Device;
using kestra::platform::DeviceScope;
using kestra::platform::SimCard;
using kestra::platform::SimCardGeometry;
using kestra::platform::SimDriverDevice;
using kestra::testing::ProgramFolderWithSeparator;
using kestra::testing::ReaderConfigurationScope;
using kestra::testing::RunInChildProcess;

namespace {

struct Request {
    DWORD code;
    std::vector<BYTE> input;
    DWORD outputSize;
};

// Records every request and passes it on to a simulated driver; `answer` may change what
// a request returns.
class RecordingDevice final : public Device {
  public:
    explicit RecordingDevice(std::shared_ptr<SimCard> card) : driver_(std::move(card)) {}

    bool control(DWORD code, const void* input, DWORD inputSize, void* output, DWORD outputSize,
                 DWORD& returned, DWORD& error) override {
        const auto* in = static_cast<const BYTE*>(input);
        requests.push_back({code, std::vector<BYTE>(in, in + inputSize), outputSize});
        bool ok = driver_.control(code, input, inputSize, output, outputSize, returned, error);
        if (answer) answer(code, ok, returned);
        return ok;
    }

    std::vector<Request> requests;
    std::function<void(DWORD code, bool& ok, DWORD& returned)> answer;

  private:
    SimDriverDevice driver_;
};

class DriverPath : public ::testing::Test {
  protected:
    void SetUp() override {
        auto geometry = *SimCardGeometry::ForDeviceCode(0x73);
        card_ = SimCard::Create(configuration_.folder().file("card.img"), geometry);
        device_ = std::make_shared<RecordingDevice>(card_);
    }

    // Runs the body in a child with the recording device installed and the interface made.
    void inChild(const std::function<void(CSSFDCInterface&)>& body) {
        EXPECT_EQ(RunInChildProcess([&] {
                      DeviceScope scope(kestra::platform::ssfdc::kDeviceName, device_);
                      CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
                      body(card);
                  }),
                  0);
    }

    ReaderConfigurationScope configuration_{"sim-driver"};
    std::shared_ptr<SimCard> card_;
    std::shared_ptr<RecordingDevice> device_;
};

}  // namespace

TEST_F(DriverPath, DetectionSendsResetIdAndStatusRequests) {
    inChild([&](CSSFDCInterface& card) {
        ASSERT_TRUE(card.initSSFDC(0x1234));
        const auto& requests = device_->requests;
        ASSERT_EQ(requests.size(), 4u);  // the reset of initSSFDC, then detection
        const DWORD codes[] = {0x9C402400, 0x9C402400, 0x9C402440, 0x9C402480};
        const DWORD outputs[] = {0, 0, 4, 1};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(requests[i].code, codes[i]);
            EXPECT_TRUE(requests[i].input.empty());
            EXPECT_EQ(requests[i].outputSize, outputs[i]);
        }
        CSSFDCStatus status;
        ASSERT_TRUE(card.getSSFDCInfo(status));
        EXPECT_EQ(status.TypeCode, 0x73);
        EXPECT_EQ(status.Blocks, 1024);
        EXPECT_EQ(iSSFDCPages, 32);

        // The device stays open: a second initialisation in the process fails.
        EXPECT_FALSE(card.initSSFDC(0x378));
        EXPECT_EQ(card.getLastError(), SSFDC_ERR_INIT);
        CSSFDCInterface another(ProgramFolderWithSeparator().c_str());
        EXPECT_FALSE(another.initSSFDC(0x378));
        EXPECT_EQ(another.getLastError(), SSFDC_ERR_INIT);
        EXPECT_TRUE(card.getSSFDCInfo(status));  // the open device still serves
    });
}

TEST_F(DriverPath, PageRequestsCarryRowCountAndDataAsTheDriverExpects) {
    inChild([&](CSSFDCInterface& card) {
        ASSERT_TRUE(card.initSSFDC(0x378));
        device_->requests.clear();
        std::vector<char> data(528);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 3);
        ASSERT_TRUE(card.writePage(0x1234, data.data(), 528, 99));
        ASSERT_EQ(device_->requests.size(), 1u);
        const Request& write = device_->requests[0];
        EXPECT_EQ(write.code, 0x9C402500u);
        ASSERT_EQ(write.input.size(), 539u);
        EXPECT_EQ(kestra::ReadLe32(write.input.data()), 0x1234u);
        EXPECT_EQ(kestra::ReadLe32(write.input.data() + 4), 528u);
        EXPECT_EQ(std::memcmp(write.input.data() + 8, data.data(), 528), 0);
        EXPECT_EQ(write.input[536] | write.input[537] | write.input[538], 0);

        device_->requests.clear();
        std::vector<char> back(528);
        ASSERT_TRUE(card.readPage(0x1234, back.data(), 528, 0));
        EXPECT_EQ(back, data);
        char part[8];
        ASSERT_TRUE(card.readPage(0x1234, part, 8, 16));
        EXPECT_EQ(std::memcmp(part, data.data() + 16, 8), 0);
        ASSERT_EQ(device_->requests.size(), 2u);
        for (const Request& read : device_->requests) {
            EXPECT_EQ(read.code, 0x9C4024C0u);
            ASSERT_EQ(read.input.size(), 8u);
            EXPECT_EQ(kestra::ReadLe32(read.input.data()), 0x1234u);
            EXPECT_EQ(kestra::ReadLe32(read.input.data() + 4), 528u);  // the whole page
            EXPECT_EQ(read.outputSize, 528u);
        }

        device_->requests.clear();
        bool failed = true;
        card_->failErase(0x1234 / 32);
        ASSERT_TRUE(card.deleteBlock(0x1234, failed));
        EXPECT_TRUE(failed);
        ASSERT_EQ(device_->requests.size(), 2u);
        EXPECT_EQ(device_->requests[0].code, 0x9C402540u);
        EXPECT_EQ(device_->requests[0].input, (std::vector<BYTE>{0x34, 0x12, 0, 0}));
        EXPECT_EQ(device_->requests[1].code, 0x9C402480u);
    });
}

TEST_F(DriverPath, ARequestCountsOnlyWithTheExpectedNumberOfBytesReturned) {
    inChild([&](CSSFDCInterface& card) {
        ASSERT_TRUE(card.initSSFDC(0x378));
        std::vector<char> data(528, 7);
        auto shortAnswer = [&](DWORD failing) {
            device_->answer = [failing](DWORD code, bool&, DWORD& returned) {
                if (code == failing) returned = returned ? returned - 1 : 1;
            };
        };
        shortAnswer(0x9C4024C0);
        EXPECT_FALSE(card.readPage(1, data.data(), 528, 0));
        EXPECT_EQ(card.getLastError(), SSFDC_ERR_READ);
        shortAnswer(0x9C402500);
        EXPECT_FALSE(card.writePage(1, data.data(), 528, 0));
        EXPECT_EQ(card.getLastError(), SSFDC_ERR_WRITE);
        shortAnswer(0x9C402540);
        bool failed = true;
        EXPECT_FALSE(card.deleteBlock(1, failed));
        EXPECT_EQ(card.getLastError(), SSFDC_ERR_ERASE);
        shortAnswer(0x9C402440);
        CSSFDCStatus status;
        EXPECT_FALSE(card.getSSFDCInfo(status));
        EXPECT_EQ(card.getLastError(), SSFDC_ERR_NOCARD);

        device_->answer = [](DWORD code, bool& ok, DWORD&) {
            if (code == 0x9C402480) ok = false;
        };
        EXPECT_FALSE(card.deleteBlock(1, failed));
        EXPECT_EQ(card.getLastError(), SSFDC_ERR_NOCARD);

        device_->answer = nullptr;
        EXPECT_TRUE(card.getSSFDCInfo(status));
    });
}

TEST_F(DriverPath, AnEmptyReaderOrAMissingDriverFailsTheInitialisation) {
    EXPECT_EQ(RunInChildProcess([&] {
                  auto driver = std::make_shared<SimDriverDevice>();
                  DeviceScope scope(kestra::platform::ssfdc::kDeviceName, driver);
                  CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
                  EXPECT_FALSE(card.initSSFDC(0x378));
                  EXPECT_EQ(card.getLastError(), SSFDC_ERR_NOCARD);
              }),
              0);
    EXPECT_EQ(RunInChildProcess([&] {
                  // The configured simulated driver has no card ("none"): still an empty reader.
                  CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
                  EXPECT_FALSE(card.initSSFDC(0x378));
                  EXPECT_EQ(card.getLastError(), SSFDC_ERR_NOCARD);
              }),
              0);
    EXPECT_EQ(RunInChildProcess([&] {
                  kestra::testing::EnvironmentScope reader(kestra::platform::kCardReaderVariable,
                                                           std::string("none"));
                  CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
                  // With nothing attached the port path is chosen and nothing answers.
                  EXPECT_FALSE(card.initSSFDC(0x378));
                  EXPECT_EQ(card.getLastError(), SSFDC_ERR_NOCARD);
              }),
              0);
}

TEST(DriverPathWholeCard, A16MegabyteCardIsWrittenAndReadBackThroughTheConfiguredDriver) {
    ReaderConfigurationScope configuration("sim-driver");
    const std::string image = configuration.folder().file("whole.img");
    kestra::testing::EnvironmentScope card(kestra::platform::kSimCardVariable, image);
    EXPECT_EQ(RunInChildProcess([&] {
                  CSSFDCInterface card(ProgramFolderWithSeparator().c_str());
                  ASSERT_TRUE(card.initSSFDC(0x378)) << card.getLastError();
                  std::vector<char> data(528), back(528);
                  for (unsigned row = 0; row < 32768; ++row) {
                      for (unsigned i = 0; i < 528; ++i) data[i] = static_cast<char>(row * 31 + i);
                      ASSERT_TRUE(card.writePage(row, data.data(), 528, 0)) << row;
                  }
                  for (unsigned row = 0; row < 32768; ++row) {
                      for (unsigned i = 0; i < 528; ++i) data[i] = static_cast<char>(row * 31 + i);
                      ASSERT_TRUE(card.readPage(row, back.data(), 528, 0)) << row;
                      ASSERT_EQ(back, data) << row;
                  }
              }),
              0);
    // The configured card was made on first use as a 16 MB card and holds what was written.
    auto written = SimCard::Open(image);
    EXPECT_EQ(written->geometry().device, 0x73);
    EXPECT_EQ(written->page(32767)[527], static_cast<BYTE>(32767 * 31 + 527));
}
