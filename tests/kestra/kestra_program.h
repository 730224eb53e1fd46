// The built `kestra` program and its neighbours (cardload, smlogical) run as a user runs them,
// each test in a folder of its own with a sample project made by the S5 sample editor.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "card_loader/run_program.h"
#include "support/temp_folder.h"

namespace kestra::testing {

// Each test has its own Windows folder, card, registry and files.
class KestraProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(folder.file("windows"));
        environment = {{"KESTRA_WINDIR", folder.file("windows")},
                       {"KESTRA_SIM_CARD", folder.file("card.img")},
                       {"KESTRA_REGISTRY", folder.file("registry.reg")},
                       {"KESTRA_CARD_READER", std::nullopt},
                       {"KESTRA_SIM_CARD_PULL", std::nullopt},
                       {"QT_QPA_PLATFORM", "offscreen"}};
        sample = folder.file("sample.kpr");
        const ProgramRun made = RunProgram("s5-editor", {"sample", sample}, environment);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }

    ProgramRun kestra(std::vector<std::string> arguments,
                      std::map<std::string, std::optional<std::string>> extra = {}) {
        auto env = environment;
        for (auto& [name, value] : extra) env[name] = value;
        return RunProgram("kestra", arguments, env);
    }
    ProgramRun cardload(std::vector<std::string> arguments) {
        return RunProgram("cardload", arguments, environment);
    }

    std::string bytes(const std::string& path) {
        return folder.read(std::filesystem::path(path).filename());
    }
    // A copy of the sample with one byte changed.
    std::string sampleWith(const std::string& name, std::size_t offset, char value) {
        std::string image = bytes(sample);
        image.at(offset) = value;
        return folder.write(name, image);
    }

    TempFolder folder;
    std::map<std::string, std::optional<std::string>> environment;
    std::string sample;
};

}  // namespace kestra::testing
