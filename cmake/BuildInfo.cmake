# cmake -DSOURCE=... -DOUT=... -DVERSION=... -P BuildInfo.cmake
# Writes the header that names the program's version and the commit it is built from; the file
# is rewritten only when that changes, so a build after a commit recompiles one file.
cmake_minimum_required(VERSION 3.22)
set(commit "unknown")
find_program(GIT git)
if(GIT AND EXISTS "${SOURCE}/.git")
  execute_process(COMMAND "${GIT}" -C "${SOURCE}" describe --always --dirty --abbrev=12
                  OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND NOT described STREQUAL "")
    set(commit "${described}")
  endif()
endif()
set(text "// Made by cmake/BuildInfo.cmake at build time.\n#pragma once\n#define PGL_VERSION \"${VERSION}\"\n#define PGL_COMMIT \"${commit}\"\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()
