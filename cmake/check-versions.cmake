# SPDX-License-Identifier: GPL-3.0-or-later
# The newest release of the metainfo and of the Debian change log is VERSION:
#   cmake -DVERSION=<x.y.z> -DMETAINFO=<file> -DCHANGELOG=<file> -P check-versions.cmake
file(READ ${METAINFO} metainfo)
if(NOT metainfo MATCHES "<release version=\"([^\"]+)\"")
  message(FATAL_ERROR "${METAINFO}: no <release version=...>")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${METAINFO}: newest release ${CMAKE_MATCH_1}, the project is ${VERSION}")
endif()
file(STRINGS ${CHANGELOG} first LIMIT_COUNT 1)
if(NOT first MATCHES "^fenmora \\(([^)]+)\\)")
  message(FATAL_ERROR "${CHANGELOG}: the first line is not \"fenmora (VERSION) ...\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG}: newest entry ${CMAKE_MATCH_1}, the project is ${VERSION}")
endif()
