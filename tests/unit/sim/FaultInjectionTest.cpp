// Every system call of a run failed in turn, the way the real call fails: the launcher must end, read
// nothing a failed call left behind, and do what the recorded table says (which messages, which
// installer program, which exit code). QUELM_RECORD_FAULTS=1 rewrites the table for review.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "sim/FaultInjection.h"
#include "support/Scenarios.h"

namespace quelm {
namespace {

using sim::CallSite;
using testing::Scenario;
using testing::SimDisk;

constexpr const char* kTableFile = QUELM_TEST_DATA_DIR "/fault-injection/outcomes.txt";
// Beyond this many calls of one site, only a spread of them is failed (a bus scan makes 65,536).
constexpr unsigned kCallsPerSite = 24;

// The table holds bytes as text: control and 8-bit characters as \xHH.
std::string Printable(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      static const char kDigits[] = "0123456789ABCDEF";
      out += std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0xF];
    }
  }
  return out;
}

bool Poisoned(const std::string& text) {
  return text.find(std::string(2, sim::kPoisonByte)) != std::string::npos;
}

struct Outcome {
  std::string line;  // what the table records
  bool hang = false;
  bool poisoned = false;
  size_t openHandles = 0;
  // Of a run without failures: by site, the calls worth failing. Failing a call that failed anyway
  // changes nothing, so only those that succeeded are taken, a spread of them where a site has many.
  std::vector<std::vector<unsigned>> callsToFail;
};

std::vector<unsigned> CallsToFail(const sim::FaultInjector& injector, CallSite site) {
  std::vector<unsigned> succeeded;
  for (unsigned number = 1; number <= injector.Calls(site); ++number) {
    if (injector.Succeeded(site, number)) succeeded.push_back(number);
  }
  if (succeeded.size() <= kCallsPerSite) return succeeded;
  std::vector<unsigned> spread;
  for (unsigned i = 0; i < kCallsPerSite; ++i) {
    spread.push_back(succeeded[i * (succeeded.size() - 1) / (kCallsPerSite - 1)]);
  }
  return spread;
}

// One run of the scenario with the `number`th call of `site` failing (0: none), summed up in one line.
Outcome RunFailing(const Scenario& scenario, CallSite site, unsigned number) {
  SimDisk disk(scenario.ini);
  if (scenario.setUp) scenario.setUp(disk);
  sim::FaultInjector injector(disk.machine);
  injector.FailCall(site, number);
  const int32_t exitCode = injector.RunLauncher();

  Outcome outcome;
  std::string messages;
  std::string installers;
  std::string shellOpens;
  const auto poison = [&outcome](const std::string& text) {
    outcome.poisoned = outcome.poisoned || Poisoned(text);
  };
  for (const sim::Event& event : disk.machine.Events()) {
    if (const auto* message = std::get_if<sim::MessageEvent>(&event)) {
      messages += (messages.empty() ? "" : " ") + Printable(message->key);
      poison(message->text);
    } else if (const auto* installer = std::get_if<sim::InstallerEvent>(&event)) {
      installers += installer->started ? " started" : " failed to start";
      poison(installer->commandLine);
    } else if (const auto* shell = std::get_if<sim::ShellEvent>(&event)) {
      shellOpens += " " + Printable(shell->file);
      poison(shell->file);
      poison(shell->directory.value_or(""));
    } else if (const auto* start = std::get_if<sim::StartEvent>(&event)) {
      poison(start->baseDir);
      poison(start->installDir);
    } else if (const auto* card = std::get_if<sim::CardEvent>(&event)) {
      poison(card->hardwareId);
      poison(card->location);
    } else if (std::holds_alternative<sim::HangEvent>(event)) {
      outcome.hang = true;
    }
  }
  outcome.line = "messages: " + (messages.empty() ? std::string("none") : messages) +
                 "; installer:" + (installers.empty() ? std::string(" none") : installers) +
                 "; shell:" + (shellOpens.empty() ? std::string(" none") : shellOpens) + "; exit " +
                 std::to_string(exitCode);
  outcome.openHandles = disk.machine.OpenHandles();
  for (unsigned index = 0; number == 0 && index < static_cast<unsigned>(CallSite::kCount); ++index) {
    outcome.callsToFail.push_back(CallsToFail(injector, static_cast<CallSite>(index)));
  }
  return outcome;
}

TEST(FaultInjection, EveryFailedCallEndsTheRunAsTheTableSays) {
  std::ostringstream table;
  table << "# Each system call of each disk's run, failed in turn as the real call fails. A '==' line is the "
           "run\n"
           "# without failures; below it, every failure that changes what the user sees or the exit code.\n";
  unsigned failurePoints = 0;
  std::vector<Scenario> scenarios = testing::ExampleScenarios();
  for (const Scenario& hostile : testing::HostileScenarios()) scenarios.push_back(hostile);
  for (const Scenario& scenario : scenarios) {
    const Outcome normal = RunFailing(scenario, CallSite::kCount, 0);
    ASSERT_FALSE(normal.hang) << scenario.name;
    table << "== " << scenario.name << ": " << normal.line << "\n";
    for (unsigned index = 0; index < static_cast<unsigned>(CallSite::kCount); ++index) {
      const auto site = static_cast<CallSite>(index);
      for (const unsigned number : normal.callsToFail[index]) {
        SCOPED_TRACE(scenario.name + ", " + sim::CallSiteName(site) + " #" + std::to_string(number));
        const Outcome outcome = RunFailing(scenario, site, number);
        ++failurePoints;
        EXPECT_FALSE(outcome.hang) << "the launcher would wait for ever";
        EXPECT_FALSE(outcome.poisoned) << "a failed call's leftovers reached the user: " << outcome.line;
        EXPECT_EQ(0u, outcome.openHandles) << "handles left open";
        if (outcome.line != normal.line) {
          table << sim::CallSiteName(site) << " #" << number << ": " << outcome.line << "\n";
        }
      }
    }
  }
  if (const char* record = std::getenv("QUELM_RECORD_FAULTS");
      record != nullptr && std::string(record) == "1") {
    std::ofstream(kTableFile, std::ios::binary) << table.str();
    GTEST_SKIP() << "recorded " << failurePoints << " failure points in " << kTableFile;
  }
  std::ifstream recorded(kTableFile, std::ios::binary);
  std::stringstream expected;
  expected << recorded.rdbuf();
  EXPECT_EQ(expected.str(), table.str())
      << "outcomes differ from " << kTableFile << " (QUELM_RECORD_FAULTS=1 rewrites it for review)";
  RecordProperty("failurePoints", static_cast<int>(failurePoints));
}

}  // namespace
}  // namespace quelm
