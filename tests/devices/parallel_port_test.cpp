#include "devices/parallel_port.h"

#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "card_access/ssfdc_interface.h"
#include "support/card_reader_scope.h"

using kestra::platform::PortSystem;
using kestra::platform::PpdevPorts;
using kestra::platform::RawPorts;
using kestra::platform::SimParallelReader;

namespace {

// The system calls of the port backends, answered by simulated readers: parport device N
// is the reader at the base address that its /proc file tells.
class FakePortSystem final : public PortSystem {
  public:
    std::map<int, std::shared_ptr<SimParallelReader>> parports;  // device number -> reader
    std::map<WORD, std::shared_ptr<SimParallelReader>> raw;      // base -> reader
    std::vector<std::string> calls;
    int claimResult = 0;
    // What an exclusive claim meets: 0 where no other driver uses the port.
    int exclusiveClaimResult = 0;
    std::map<int, bool> exclusive;  // open device -> asked for an exclusive claim
    int iopermResult = 0;

    int open(const char* path, int) override {
        calls.push_back(std::string("open ") + path);
        for (const auto& [index, reader] : parports)
            if (path == kestra::platform::ParportDevice(index)) return 100 + index;
        return -1;
    }
    int close(int fd) override {
        calls.push_back("close " + std::to_string(fd));
        return 0;
    }
    int ioctl(int fd, unsigned long request, void* argument) override {
        auto& reader = *parports.at(fd - 100);
        auto* byte = static_cast<unsigned char*>(argument);
        const WORD base = reader.base();
        switch (request) {
            case PPEXCL:
                calls.push_back("exclusive " + std::to_string(fd));
                exclusive[fd] = true;
                return 0;
            case PPCLAIM:
                calls.push_back("claim " + std::to_string(fd));
                return std::exchange(exclusive[fd], false) && claimResult == 0
                           ? exclusiveClaimResult
                           : claimResult;
            case PPRELEASE:
                calls.push_back("release " + std::to_string(fd));
                return 0;
            case PPWDATA:
                reader.out(base, *byte);
                return 0;
            case PPWCONTROL:
                reader.out(base + 2, *byte);
                return 0;
            case PPRDATA:
                *byte = reader.in(base);
                return 0;
            case PPRSTATUS:
                *byte = reader.in(base + 1);
                return 0;
            case PPRCONTROL:
                *byte = reader.in(base + 2);
                return 0;
            default:
                return -1;
        }
    }
    int ioperm(unsigned long from, unsigned long count, int on) override {
        calls.push_back("ioperm " + std::to_string(from) + " " + std::to_string(count) + " " +
                        std::to_string(on));
        return iopermResult;
    }
    BYTE inb(WORD port) override { return readerAt(port).in(port); }
    void outb(BYTE value, WORD port) override { readerAt(port).out(port, value); }
    std::optional<std::string> readFile(const std::string& path) override {
        calls.push_back("read " + path);
        for (const auto& [index, reader] : parports)
            if (path == kestra::platform::ParportBaseFile(index))
                return std::to_string(reader->base()) + "\t" +
                       std::to_string(reader->base() + 0x400) + "\n";
        return std::nullopt;
    }

  private:
    SimParallelReader& readerAt(WORD port) { return *raw.at(static_cast<WORD>(port & ~3)); }
};

int count(const std::vector<std::string>& calls, const std::string& prefix) {
    int n = 0;
    for (const auto& call : calls) n += call.starts_with(prefix);
    return n;
}

}  // namespace

TEST(Ppdev, FindsTheDeviceByBaseAddressClaimsItOnceAndReleasesIt) {
    auto system = std::make_shared<FakePortSystem>();
    auto reader = std::make_shared<SimParallelReader>(0x278);
    system->parports[1] = reader;
    {
        PpdevPorts ports(system);
        ports.out(0x278, 0xA5);
        EXPECT_EQ(ports.in(0x278), 0xA5);
        ports.out(0x27A, 0x04);
        EXPECT_EQ(ports.in(0x27A), 0x04);
        EXPECT_EQ(ports.in(0x27B), 0xFF);  // not a register of the reader
        EXPECT_EQ(reader->accesses().total(), 4u);
        EXPECT_EQ(count(system->calls, "open /dev/parport1"), 1);
        EXPECT_EQ(count(system->calls, "exclusive 101"), 1) << "claimed for this program alone";
        EXPECT_EQ(count(system->calls, "claim 101"), 1);

        // No device at 0x378: it reads 0xFF, and the /proc files are looked at only once.
        EXPECT_EQ(ports.in(0x379), 0xFF);
        ports.out(0x378, 1);
        EXPECT_EQ(count(system->calls, "read /proc/sys/dev/parport/parport0/base-addr"), 2);
        EXPECT_EQ(count(system->calls, "open"), 1);
    }
    EXPECT_EQ(count(system->calls, "release 101"), 1);
    EXPECT_EQ(count(system->calls, "close 101"), 1);
}

TEST(Ppdev, ADeviceThatCannotBeClaimedIsClosedAndReadsAsNothing) {
    auto system = std::make_shared<FakePortSystem>();
    system->parports[0] = std::make_shared<SimParallelReader>(0x378);
    system->claimResult = -1;
    {
        PpdevPorts ports(system, "/dev/parport0");
        EXPECT_EQ(ports.in(0x37A), 0xFF);
        EXPECT_EQ(count(system->calls, "read"), 0);  // a named device is not looked up
    }
    EXPECT_EQ(count(system->calls, "close 100"), 2) << "an exclusive and a shared claim";
    EXPECT_EQ(count(system->calls, "release"), 0);
}

TEST(Ppdev, APortSharedWithAnotherDriverIsClaimedSharedAndLetGoBetweenWorks) {
    auto system = std::make_shared<FakePortSystem>();
    system->parports[0] = std::make_shared<SimParallelReader>(0x378);
    system->exclusiveClaimResult = -1;  // a printer driver has the port too
    PpdevPorts ports(system);
    EXPECT_EQ(ports.deviceOf(0x378), "/dev/parport0");
    EXPECT_EQ(ports.deviceOf(0x278), std::nullopt);
    ports.out(0x378, 0x5A);
    EXPECT_EQ(ports.in(0x378), 0x5A);
    EXPECT_EQ(count(system->calls, "exclusive 100"), 1);
    EXPECT_EQ(count(system->calls, "claim 100"), 2) << "the exclusive claim refused, then shared";
    EXPECT_EQ(count(system->calls, "close 100"), 1);

    // Between two works the port is free for other programs; the next access claims it again.
    ports.release();
    EXPECT_EQ(count(system->calls, "release 100"), 1);
    EXPECT_EQ(count(system->calls, "close 100"), 2);
    EXPECT_EQ(ports.in(0x378), 0x5A);
    EXPECT_EQ(count(system->calls, "claim 100"), 4);
}

TEST(Ppdev, TheCardInterfaceRunsOverTheParportDevice) {
    kestra::testing::SimulatedReaderScope sim(0x73, 0x3BC);
    auto system = std::make_shared<FakePortSystem>();
    system->parports[2] = sim.reader;
    kestra::platform::PortScope ports(std::make_shared<PpdevPorts>(system));

    CSSFDCInterface card(kestra::testing::ProgramFolderWithSeparator().c_str());
    ASSERT_TRUE(card.initSSFDC(0x3BC)) << card.getLastError();
    std::vector<char> data(528, 0x42), back(528);
    ASSERT_TRUE(card.writePage(77, data.data(), 528, 0));
    ASSERT_TRUE(card.readPage(77, back.data(), 528, 0));
    EXPECT_EQ(back, data);
    EXPECT_EQ(sim.card->page(77)[0], 0x42);
}

TEST(RawPorts, AsksForTheThreeRegistersOnceAndReadsNothingWithoutPermission) {
    auto system = std::make_shared<FakePortSystem>();
    auto reader = std::make_shared<SimParallelReader>(0x378);
    system->raw[0x378] = reader;
    RawPorts ports(system);
    ports.out(0x378, 0x33);
    EXPECT_EQ(ports.in(0x378), 0x33);
    EXPECT_EQ(ports.in(0x37A), 0xCC);
    EXPECT_EQ(system->calls, (std::vector<std::string>{"ioperm 888 3 1"}));

    system->iopermResult = -1;
    EXPECT_EQ(ports.in(0x279), 0xFF);
    ports.out(0x278, 1);
    EXPECT_EQ(count(system->calls, "ioperm 632 3 1"), 1);
    EXPECT_EQ(reader->accesses().total(), 3u);
}
