# Movies. The window and the command line link fenmora_movie, which holds no
# FFmpeg: what the probe's facts mean, the helper's line protocol and the
# client that starts the helper program fenmora-movie for each task. The
# helper alone links FFmpeg's libraries (Debian's; libavcodec-extra brings
# the AMR-NB encoder), so a codec's crash ends a task, not a program, and
# neither program loads FFmpeg at start-up.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat>=59.27 libavcodec>=59.37 libswscale>=6.7 libswresample>=4.7 libavutil>=57.28)
# HEIF photos (an iPhone's HEIC, AVIF) are decoded by the same helper.
pkg_check_modules(HEIF REQUIRED IMPORTED_TARGET libheif>=1.12)

# The helper's place from the programs' folder once installed.
file(RELATIVE_PATH FENMORA_HELPER_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBEXECDIR}/fenmora)

add_library(fenmora_movie STATIC
  src/movie/helper_protocol.cpp
  src/movie/movie_client.cpp
  src/movie/movie_facts.cpp
)
target_include_directories(fenmora_movie PUBLIC src)
target_compile_definitions(fenmora_movie PRIVATE FENMORA_HELPER_FROM_BIN="${FENMORA_HELPER_FROM_BIN}")

set(MOVIE_CODEC_SOURCES
  src/movie/av_tools.cpp
  src/movie/heif_picture.cpp
  src/movie/movie_convert.cpp
  src/movie/movie_picture.cpp
  src/movie/movie_probe.cpp
)
add_library(fenmora_movie_codecs STATIC ${MOVIE_CODEC_SOURCES})
target_link_libraries(fenmora_movie_codecs PUBLIC fenmora_movie PkgConfig::FFMPEG PkgConfig::HEIF)

add_executable(fenmora-movie src/movie/helper_main.cpp)
target_link_libraries(fenmora-movie PRIVATE fenmora_movie_codecs)

set(MOVIE_TESTS
  tests/movie/movie_test.cpp
  tests/movie/helper_test.cpp
  tests/movie/test_movies.cpp
  tests/support/temp_card.cpp
)
add_executable(fenmora_movie_tests ${MOVIE_TESTS})
target_include_directories(fenmora_movie_tests PRIVATE tests)
# The tests make their sources with FFmpeg's libraries themselves.
target_link_libraries(fenmora_movie_tests PRIVATE fenmora_movie PkgConfig::FFMPEG fenmora_core GTest::gtest GTest::gtest_main)
add_dependencies(fenmora_movie_tests fenmora-movie)
gtest_discover_tests(fenmora_movie_tests PROPERTIES TIMEOUT 240 ENVIRONMENT FENMORA_LANG=ja DISCOVERY_TIMEOUT 60)
