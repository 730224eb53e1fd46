#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/module.h"

namespace {

std::vector<std::string> ExportNames() {
    std::ifstream def(K32PLC1_DEF);
    std::vector<std::string> names;
    std::string line;
    bool inExports = false;
    while (std::getline(def, line)) {
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';') continue;
        line = line.substr(first);
        if (line.starts_with("EXPORTS")) {
            inExports = true;
        } else if (inExports) {
            names.push_back(line.substr(0, line.find_first_of(" \t")));
        }
    }
    return names;
}

}  // namespace

TEST(DriverLibrary, LoadsByFileNameAndBindsEveryExportByName) {
    HMODULE driver = LoadLibrary("K32PLC1");
    ASSERT_NE(driver, nullptr);
    const auto names = ExportNames();
    EXPECT_EQ(names.size(), 82u);  // the whole interface, dialogs and printing included
    for (const auto& name : names) EXPECT_NE(GetProcAddress(driver, name.c_str()), nullptr) << name;
    EXPECT_EQ(GetProcAddress(driver, "ReadAddress"), nullptr);

    auto type = reinterpret_cast<DWORD (*)()>(GetProcAddress(driver, "ExpGetPLCType"));
    auto gaLength = reinterpret_cast<DWORD (*)()>(GetProcAddress(driver, "ExpGetGALength"));
    EXPECT_EQ(type(), 20u);
    EXPECT_EQ(gaLength(), 3u);
    FreeLibrary(driver);
}

TEST(DriverLibrary, CarriesItsStringResources) {
    HMODULE driver = LoadLibrary("K32PLC1");
    ASSERT_NE(driver, nullptr);
    auto text = [&](UINT id) {
        char buffer[256] = "";
        LoadString(driver, id, buffer, sizeof buffer);
        return std::string(buffer);
    };
    EXPECT_EQ(text(1), "20.1.19");
    EXPECT_EQ(text(2), "Simatic S5 - Old");
    EXPECT_EQ(text(3), "5.00");
    EXPECT_EQ(text(4), "1");
    EXPECT_EQ(text(5), "5.01");
    EXPECT_EQ(text(100), "NUMERIC");
    EXPECT_EQ(text(106), "TOUCH GRAPHICS");
    EXPECT_EQ(text(153), "WORD(Bin)");
    EXPECT_EQ(text(156), "TIMER   [KT]");
    EXPECT_EQ(text(164), "DBLE WORD(BCD)");
    EXPECT_EQ(text(203), "ATTRIBUTE");
    EXPECT_EQ(text(301), "AG90/100/115/135");
    EXPECT_EQ(text(302), "AG115 CPU 945");
    EXPECT_EQ(text(503), "WORD\\O");
    EXPECT_EQ(text(511), "SPCF6");
    EXPECT_EQ(text(901), "Data Block");
    EXPECT_EQ(text(1000), "0");
    EXPECT_EQ(text(1015), "15");
    EXPECT_EQ(text(813),
              "Incompatible Controller driver version. Try menu option <Change Controller Driver> "
              "and then press "
              "button <Find All>.");
    EXPECT_EQ(text(2501),
              "Changing the model type will reset the reserved block addresses to default values. "
              "Continue ?");
    for (UINT id = 151; id <= 164; ++id) EXPECT_FALSE(text(id).empty()) << id;
    for (UINT id = 501; id <= 514; ++id) EXPECT_FALSE(text(id).empty()) << id;
    FreeLibrary(driver);
}
