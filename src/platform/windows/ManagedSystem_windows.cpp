// On Windows the managed system is the machine itself.
#include "platform/ManagedSystem.h"
#include "platform/windows/WindowsDesktop.h"
#include "platform/windows/WindowsPlatform.h"
#include "platform/windows/WindowsProcessRunner.h"
#include "platform/windows/WindowsRegistry.h"

namespace pgl {

std::string DefaultWinePrefix() {
  return {};
}

std::string PrefixToOpen(const std::string&, const std::string&, const std::string&) {
  return {};
}

std::string ManagedSystemSummary() {
  return "on this computer";
}

std::unique_ptr<ManagedSystem> OpenManagedSystem(std::string& /*error*/) {
  auto system = std::make_unique<ManagedSystem>();
  system->registry = std::make_unique<WindowsRegistry>();
  system->platform = std::make_unique<WindowsPlatform>();
  system->runner = std::make_unique<WindowsProcessRunner>();
  system->desktop = std::make_unique<WindowsDesktop>();
  system->description = "this computer";
  system->name = "This computer";
  return system;
}

std::unique_ptr<ManagedSystem> OpenManagedSystemAt(std::string prefixDir, std::string& error) {
  error = "\"" + prefixDir +
          "\": on Windows the programs of this computer are managed, not those "
          "of a Wine prefix.";
  return nullptr;
}

std::vector<KnownSystem> KnownSystems(std::vector<std::string>& /*notes*/) {
  return {{"This computer", "", "windows", WindowsRegistry().Is64BitSystem() ? "win64" : "win32"}};
}

bool KnownSystemInUse(const KnownSystem& /*system*/) {
  return true;  // this computer runs
}

std::optional<PrefixUsage> MeasureKnownSystem(const KnownSystem& /*system*/) {
  return std::nullopt;  // this computer is not a folder of its own
}

std::unique_ptr<RegistryStore> OpenProgramRecord(const std::string& /*dir*/) {
  return std::make_unique<WindowsRegistry>();  // the program's own keys, as Windows keeps them
}

std::unique_ptr<RegistryStore> OpenKnownRegistry(const KnownSystem& /*system*/) {
  return std::make_unique<WindowsRegistry>();
}

void OpenSystemsForListing(bool) {}  // the real registry is read key by key already
void RestartForLargeRegistry(const std::string&, char**) {}

}  // namespace pgl
