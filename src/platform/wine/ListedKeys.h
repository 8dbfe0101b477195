// Which keys of a prefix's registry files the program list reads. A list reads only these, and
// passes every other block over: each block header is asked, so the answers are quick.
#pragma once

#include <string_view>

namespace pgl {

// A key of system.reg (as the file's header names it, with doubled backslashes) that the list
// reads: one of the Uninstall and usage places or below them, or a key the environment and
// profile folders are made of.
bool MachineKeyListed(std::string_view path);
// The same for user.reg.
bool UserKeyListed(std::string_view path);

}  // namespace pgl
