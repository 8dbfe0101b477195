// pgl_make_bench_prefix PREFIX COUNT: adds COUNT programs to a prefix (see SyntheticPrefix.h).
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "SyntheticPrefix.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pgl_make_bench_prefix PREFIX COUNT\n");
    return 2;
  }
  try {
    pgl::bench::AddPrograms(argv[1], std::atoi(argv[2]));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pgl_make_bench_prefix: %s\n", e.what());
    return 1;
  }
  return 0;
}
