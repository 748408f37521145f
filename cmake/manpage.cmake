# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a program's manual page from its own --help, so that the two always
# agree:
#   cmake -DPROGRAM=<built program> -DNAME=<name> -DVERSION=<version>
#         -DLANGUAGE=<en|ja> -DEXTRA=<roff sections to append> -DOUTPUT=<page.1>
#         -P manpage.cmake
# The program is asked in LANGUAGE (FENMORA_LANG), and the page's headings
# are that language's.
# NAME's one-line summary is what follows " - " on the first line of --help;
# the rest of --help becomes the DESCRIPTION, kept line for line.
foreach(var PROGRAM NAME VERSION LANGUAGE EXTRA OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "manpage.cmake: ${var} not given")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E env FENMORA_LANG=${LANGUAGE} ${PROGRAM} --help
  OUTPUT_VARIABLE help RESULT_VARIABLE status
  ENCODING UTF-8)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "manpage.cmake: ${PROGRAM} --help failed (${status})")
endif()

# Roff: a backslash is \e, a minus \-, and a line may not start with . or '.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "\n+$" "" help "${help}")
string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "${help}")

string(FIND "${help}" "\n" eol)
string(SUBSTRING "${help}" 0 ${eol} first)
math(EXPR eol "${eol} + 1")
string(SUBSTRING "${help}" ${eol} -1 body)
string(FIND "${first}" " \\- " dash)
if(dash LESS 0)
  message(FATAL_ERROR "manpage.cmake: the first line of --help has no \" - \": ${first}")
endif()
math(EXPR dash "${dash} + 4")
string(SUBSTRING "${first}" ${dash} -1 summary)
string(TOUPPER "${NAME}" title)
string(REPLACE "-" "\\-" quotedName "${NAME}")

if(LANGUAGE STREQUAL "ja")
  set(nameHeading "名前")
  set(descriptionHeading "説明")
  set(manualName "ユーザーコマンド")
else()
  set(nameHeading "NAME")
  set(descriptionHeading "DESCRIPTION")
  set(manualName "User Commands")
endif()

set(page ".\\\" -*- coding: UTF-8 -*-\n")
string(APPEND page ".\\\" Written from `${NAME} --help` at build time; do not edit.\n")
string(APPEND page ".TH ${title} 1 \"\" \"${NAME} ${VERSION}\" \"${manualName}\"\n")
string(APPEND page ".SH ${nameHeading}\n${quotedName} \\- ${summary}\n")
string(APPEND page ".SH ${descriptionHeading}\n.nf\n${body}\n.fi\n")
file(READ ${EXTRA} extra)
string(APPEND page "${extra}")
file(WRITE ${OUTPUT} "${page}")
