// The .reg loader over fuzzed text. RegFileError is its answer to bad input; any other exception, a
// crash or a sanitizer report is a finding.
//
// Input: the text of a .reg file, every byte of it.
#include <stdint.h>

#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "sim/RegFile.h"
#include "sim/SimRegistry.h"

namespace quelm::fuzz {
namespace {

// Every key below `key`, in the registry's own order.
void Dump(const sim::RegistryKey& key, const std::string& path, std::string& out) {
  out += "[" + path + "]\n";
  for (const auto& child : key.Children()) Dump(*child, path + "\\" + child->Name(), out);
}

std::string DumpOf(sim::Registry& registry) {
  std::string out;
  Dump(registry.LocalMachine(), "HKLM", out);
  return out;
}

// Values are not listed by RegistryKey; the ones a machine typically has are looked at by name.
std::string ValuesOf(sim::Registry& registry) {
  std::string out;
  for (const char* path : {"Enum\\PCI", "Enum\\PCI\\VEN_1A2B&DEV_3C4D\\000800", "Software"}) {
    const sim::RegistryKey* key = registry.Find(path);
    if (key == nullptr) continue;
    for (const char* name : {"", "Class", "Good", "Bad", "HardwareID"}) {
      if (const sim::RegistryValue* value = key->FindValue(name)) {
        out += std::string(path) + ":" + name + "=" + std::to_string(value->type) + ":" +
               std::string(value->data.begin(), value->data.end()) + "\n";
      }
    }
  }
  return out;
}

// A machine's registry before the file is loaded.
void Prepare(sim::Registry& registry) {
  registry.SetString("Enum\\PCI\\VEN_1A2B&DEV_3C4D\\000800", "Class", "Display");
  registry.SetDword("Enum\\PCI", "Good", 1);
  registry.Create("Software\\Vendor");
}

}  // namespace
}  // namespace quelm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quelm;
  using namespace quelm::fuzz;
  const std::string_view text = InputOf(data, size);
  sim::Registry registry;
  Prepare(registry);
  const std::string keysBefore = DumpOf(registry);
  const std::string valuesBefore = ValuesOf(registry);
  try {
    sim::LoadRegText(registry, text, "fuzz.reg");
  } catch (const sim::RegFileError& error) {
    // A faulty file names a line of it and changes nothing.
    QUELM_FUZZ_CHECK(error.line >= 1);
    QUELM_FUZZ_CHECK(error.line <= size + 1);
    QUELM_FUZZ_CHECK(DumpOf(registry) == keysBefore);
    QUELM_FUZZ_CHECK(ValuesOf(registry) == valuesBefore);
    return 0;
  }
  // Every change a file asks for sets a state, so loading it a second time changes nothing more.
  const std::string keysOnce = DumpOf(registry);
  const std::string valuesOnce = ValuesOf(registry);
  sim::LoadRegText(registry, text, "fuzz.reg");
  QUELM_FUZZ_CHECK(DumpOf(registry) == keysOnce);
  QUELM_FUZZ_CHECK(ValuesOf(registry) == valuesOnce);
  return 0;
}
