# Every source file of the tree is named in a build file: a file renamed or
# added without its line would otherwise drop out of the build (or its tests
# out of the run) without a word.
#   cmake -DSOURCE_DIR=... -P cmake/check-sources.cmake
file(GLOB build_files ${SOURCE_DIR}/CMakeLists.txt ${SOURCE_DIR}/cmake/*.cmake)
set(named "")
foreach(f IN LISTS build_files)
  file(READ ${f} text)
  string(APPEND named "${text}\n")
endforeach()
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/tests/*.cpp ${SOURCE_DIR}/tools/*.cpp
  ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/fuzz/*.cpp)
set(missing "")
foreach(s IN LISTS sources)
  get_filename_component(stem ${s} NAME_WE)
  # The fuzz targets are named by their stem in one list.
  string(FIND "${named}" "${s}" at)
  if(at EQUAL -1 AND NOT (s MATCHES "^fuzz/fuzz_" AND named MATCHES "[ \n]${stem}[ \n)]"))
    list(APPEND missing ${s})
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " lines)
  message(FATAL_ERROR "source files no build file names:\n  ${lines}")
endif()
list(LENGTH sources n)
message(STATUS "all ${n} source files are named in the build files")
