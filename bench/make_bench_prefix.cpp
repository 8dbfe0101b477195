// pgl_make_bench_prefix PREFIX COUNT [--varied]: adds COUNT programs to a prefix (see
// SyntheticPrefix.h).
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>

#include "SyntheticPrefix.h"

int main(int argc, char** argv) {
  const bool varied = argc == 4 && std::string_view(argv[3]) == "--varied";
  if (argc != 3 && !varied) {
    std::fprintf(stderr, "usage: pgl_make_bench_prefix PREFIX COUNT [--varied]\n");
    return 2;
  }
  try {
    using pgl::bench::Shape;
    pgl::bench::AddPrograms(argv[1], std::atoi(argv[2]), varied ? Shape::Varied : Shape::Even);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pgl_make_bench_prefix: %s\n", e.what());
    return 1;
  }
  return 0;
}
