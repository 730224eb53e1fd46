// Card reader set-ups for tests: a simulated card in a simulated parallel-port reader,
// installed as the process's ports, with the reader configuration pointed at it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "devices/card_reader.h"
#include "devices/sim_card.h"
#include "devices/sim_reader.h"
#include "platform/files.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace kestra::testing {

// Sets (or, with nullopt, removes) one environment variable for the scope.
class EnvironmentScope {
  public:
    EnvironmentScope(std::string name, const std::optional<std::string>& value)
        : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) previous_ = old;
        if (value)
            setenv(name_.c_str(), value->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ~EnvironmentScope() {
        if (previous_)
            setenv(name_.c_str(), previous_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

  private:
    std::string name_;
    std::optional<std::string> previous_;
};

// The program folder with its trailing separator, where the shipped "cardtype.ini" lies.
inline std::string ProgramFolderWithSeparator() {
    return platform::ProgramFolder() + "/";
}

// A temporary Windows folder and a reader configuration of the given name; the configured
// simulated reader has no card, so that nothing but the test's own card answers.
class ReaderConfigurationScope {
  public:
    explicit ReaderConfigurationScope(const std::string& reader = "sim")
        : reader_(platform::kCardReaderVariable, reader),
          card_(platform::kSimCardVariable, std::string("none")) {}
    const TempFolder& folder() const { return folder_; }

  private:
    TempFolder folder_;
    WindowsFolderScope windows_{folder_.path()};
    EnvironmentScope reader_;
    EnvironmentScope card_;
};

// A new card of the given geometry in a reader at `base`, installed as the ports.
class SimulatedReaderScope : public ReaderConfigurationScope {
  public:
    explicit SimulatedReaderScope(const platform::SimCardGeometry& geometry, WORD base = 0x378,
                                  const std::vector<DWORD>& factoryBad = {})
        : card(platform::SimCard::Create(folder().file("card.img"), geometry, factoryBad)),
          reader(std::make_shared<platform::SimParallelReader>(base, card)),
          ports_(reader) {}
    explicit SimulatedReaderScope(BYTE device = 0x73, WORD base = 0x378)
        : SimulatedReaderScope(*platform::SimCardGeometry::ForDeviceCode(device), base) {}

    std::shared_ptr<platform::SimCard> card;
    std::shared_ptr<platform::SimParallelReader> reader;

  private:
    platform::PortScope ports_;
};

}  // namespace kestra::testing
