# Movies through FFmpeg's libraries (Debian's; libavcodec-extra brings the
# AMR-NB encoder): probing, the preview picture and the conversion for the
# handset. No Qt, so that the window and the command line share it.
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat>=59.27 libavcodec>=59.37 libswscale>=6.7 libswresample>=4.7 libavutil>=57.28)

set(MOVIE_SOURCES
  src/movie/av_tools.cpp
  src/movie/movie_convert.cpp
  src/movie/movie_picture.cpp
  src/movie/movie_probe.cpp
)
add_library(fenmora_movie STATIC ${MOVIE_SOURCES})
target_include_directories(fenmora_movie PUBLIC src)
target_link_libraries(fenmora_movie PUBLIC PkgConfig::FFMPEG)

set(MOVIE_TESTS
  tests/movie/movie_test.cpp
  tests/movie/test_movies.cpp
  tests/support/temp_card.cpp
)
add_executable(fenmora_movie_tests ${MOVIE_TESTS})
target_include_directories(fenmora_movie_tests PRIVATE tests)
target_link_libraries(fenmora_movie_tests PRIVATE fenmora_movie fenmora_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(fenmora_movie_tests PROPERTIES TIMEOUT 240 DISCOVERY_TIMEOUT 60)
