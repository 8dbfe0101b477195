# cmake -DREADME=... -DCMARK=... -DOUT=... -P MakeHelp.cmake
# Makes the help page F1 opens from the README's sections for users: everything but how to build,
# test and lay out the source. cmark turns the Markdown into HTML (raw HTML in it is left out).
cmake_minimum_required(VERSION 3.22)
file(READ "${README}" text)
set(developer_sections "## Two commands" "## The Windows build" "## Layout" "## Other scripts")

string(FIND "${text}" "\n## " next)
string(SUBSTRING "${text}" 0 ${next} user_part)
math(EXPR next "${next} + 1")
string(SUBSTRING "${text}" ${next} -1 rest)
while(NOT rest STREQUAL "")
  string(FIND "${rest}" "\n## " next)
  if(next EQUAL -1)
    set(section "${rest}")
    set(rest "")
  else()
    string(SUBSTRING "${rest}" 0 ${next} section)
    math(EXPR next "${next} + 1")
    string(SUBSTRING "${rest}" ${next} -1 rest)
  endif()
  string(FIND "${section}" "\n" end_of_heading)
  string(SUBSTRING "${section}" 0 ${end_of_heading} heading)
  if(NOT heading IN_LIST developer_sections)
    string(APPEND user_part "\n${section}")
  endif()
endwhile()

get_filename_component(out_dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
file(WRITE "${OUT}.md" "${user_part}")
execute_process(COMMAND "${CMARK}" --to html "${OUT}.md" OUTPUT_VARIABLE body
                RESULT_VARIABLE failed)
file(REMOVE "${OUT}.md")
if(failed)
  message(FATAL_ERROR "cmark could not make the help page: ${failed}")
endif()
file(WRITE "${OUT}.part" "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">
<title>Purgelet help</title>
<style>
:root { color-scheme: light dark; }
body { font-family: sans-serif; line-height: 1.5; max-width: 50em; margin: 2em auto; padding: 0 1em; }
code, pre { font-family: monospace; background: rgba(127, 127, 127, 0.15); border-radius: 3px; }
code { padding: 0 0.2em; }
pre { padding: 0.6em; overflow-x: auto; }
pre code { background: none; padding: 0; }
h1, h2, h3 { line-height: 1.2; }
</style>
</head>
<body>
${body}</body>
</html>
")
# Written whole, then renamed: a build stopped half-way leaves no half page behind.
file(RENAME "${OUT}.part" "${OUT}")
