# Fuzzing with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   cmake -S . -B build-fuzz -G Ninja -DFENMORA_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14
#   (or simply: make fuzz / make fuzz-smoke)
#
# That configuration builds the core, an instrumented copy of it, the fuzz
# targets and the seed writer, and nothing that needs Qt. (In the ordinary
# configuration the core tests build the shared checks themselves, to replay
# the kept findings of fuzz/regressions/.)
option(FENMORA_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

set(FENMORA_FUZZ_TARGETS fuzz_table fuzz_mld fuzz_mfi_midi fuzz_smf fuzz_cardpath fuzz_cp932 fuzz_journal fuzz_movie)

if(NOT FENMORA_FUZZ)
  return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "FENMORA_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++-14)")
endif()

# The core tests are left to the ordinary build.
set_target_properties(fenmora_core_tests PROPERTIES EXCLUDE_FROM_ALL ON)

set(FENMORA_FUZZ_FLAGS -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

# The core sources again, with sanitizers and the fuzzer's coverage
# instrumentation; each target takes from it the objects it needs.
add_library(fenmora_core_fuzz STATIC ${CORE_SOURCES})
target_include_directories(fenmora_core_fuzz PUBLIC src)
target_compile_definitions(fenmora_core_fuzz PUBLIC FENMORA_DATA_FROM_BIN="${FENMORA_DATA_FROM_BIN}")
target_compile_options(fenmora_core_fuzz PRIVATE
  -fsanitize=fuzzer-no-link,address,undefined ${FENMORA_FUZZ_FLAGS})

# The checks run under the sanitizers too, but without coverage feedback: the
# fuzzer should steer by the core's branches, not by those of its own checks.
add_library(fenmora_fuzz_checks STATIC fuzz/fuzz_checks.cpp)
target_include_directories(fenmora_fuzz_checks PUBLIC fuzz)
target_compile_options(fenmora_fuzz_checks PRIVATE -fsanitize=address,undefined ${FENMORA_FUZZ_FLAGS})
target_link_libraries(fenmora_fuzz_checks PUBLIC fenmora_core_fuzz)

foreach(target IN LISTS FENMORA_FUZZ_TARGETS)
  add_executable(${target} fuzz/${target}.cpp)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined ${FENMORA_FUZZ_FLAGS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${target} PRIVATE fenmora_fuzz_checks)
endforeach()

# The movie probe, instrumented, on FFmpeg's libraries as Debian builds them.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
target_sources(fuzz_movie PRIVATE src/movie/av_tools.cpp src/movie/movie_probe.cpp
               src/movie/movie_facts.cpp src/movie/helper_protocol.cpp)
target_link_libraries(fuzz_movie PRIVATE PkgConfig::FFMPEG)

# Seeds are written by the program's own table writer and converters.
add_executable(make_seeds fuzz/make_seeds.cpp)
target_include_directories(make_seeds PRIVATE tests)  # the tests' MFi writer
target_link_libraries(make_seeds PRIVATE fenmora_core)
