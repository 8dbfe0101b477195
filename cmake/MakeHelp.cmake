# cmake -DSOURCE=help.md -DCMARK=... -DOUT=index.html -DLANG=en -DCONTENTS=Contents -P MakeHelp.cmake
# Makes a help page F1 opens from its Markdown: cmark turns it into HTML (raw HTML in it is left
# out), each section gets an anchor and the list of contents goes before the first section.
cmake_minimum_required(VERSION 3.22)
execute_process(COMMAND "${CMARK}" --to html "${SOURCE}" OUTPUT_VARIABLE body
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmark could not make the help page: ${failed}")
endif()
string(REGEX MATCH "<h1>([^<]*)</h1>" title_line "${body}")
set(title "${CMAKE_MATCH_1}")

string(REGEX MATCHALL "<h2>[^<]*</h2>" sections "${body}")
set(contents "<nav><h2>${CONTENTS}</h2>\n<ol>\n")
set(number 0)
foreach(heading IN LISTS sections)
  math(EXPR number "${number} + 1")
  string(REGEX REPLACE "<h2>([^<]*)</h2>" "\\1" name "${heading}")
  string(APPEND contents "<li><a href=\"#s${number}\">${name}</a></li>\n")
  string(REPLACE "${heading}" "<h2 id=\"s${number}\">${name}</h2>" body "${body}")
endforeach()
string(APPEND contents "</ol></nav>\n")
string(FIND "${body}" "<h2 id=\"s1\">" first)
if(first GREATER -1)
  string(SUBSTRING "${body}" 0 ${first} intro)
  string(SUBSTRING "${body}" ${first} -1 rest)
  set(body "${intro}${contents}${rest}")
endif()

get_filename_component(out_dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
file(WRITE "${OUT}.part" "<!DOCTYPE html>
<html lang=\"${LANG}\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>${title}</title>
<style>
:root { color-scheme: light dark; }
body { font-family: sans-serif; line-height: 1.5; max-width: 50em; margin: 2em auto; padding: 0 1em; }
code, pre { font-family: monospace; background: rgba(127, 127, 127, 0.15); border-radius: 3px; }
code { padding: 0 0.2em; }
pre { padding: 0.6em; overflow-x: auto; }
pre code { background: none; padding: 0; }
h1, h2, h3 { line-height: 1.2; }
nav h2 { font-size: 1.1em; }
</style>
</head>
<body>
${body}</body>
</html>
")
# Written whole, then renamed: a build stopped half-way leaves no half page behind.
file(RENAME "${OUT}.part" "${OUT}")
