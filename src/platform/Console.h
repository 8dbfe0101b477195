// The terminal pgl-cli talks to: its arguments as UTF-8, and output that reaches it byte for
// byte (UTF-8 text, LF line ends, registry scripts as they are).
#pragma once

#include <string>
#include <vector>

namespace pgl {

std::vector<std::string> CommandLineArguments(int argc, char** argv);
void PrepareConsoleOutput();
// Whether standard input is a terminal (a person who can answer a question).
bool InputIsTerminal();

}  // namespace pgl
