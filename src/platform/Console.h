// The terminal pgl-cli talks to: its arguments as UTF-8, and output that reaches it byte for
// byte (UTF-8 text, LF line ends, registry scripts as they are).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "registry/RegistryStore.h"

namespace pgl {

std::vector<std::string> CommandLineArguments(int argc, char** argv);
void PrepareConsoleOutput();
// Whether standard input is a terminal (a person who can answer a question).
bool InputIsTerminal();

// A managed system that pgl-cli can name: on Linux every Wine prefix found in the home, on
// Windows this computer.
struct KnownSystem {
  std::string name, source, arch, path;
  std::unique_ptr<RegistryStore> registry;  // null where it cannot be read
};
std::vector<KnownSystem> KnownSystems(std::vector<std::string>& notes);

}  // namespace pgl
