# Fitting added files to the handset: pictures through Qt's image readers and
# libjpeg, melodies through the core's SMF rewriter. QtGui only, no widgets,
# so that the window and the command line share it.
find_package(Qt6 REQUIRED COMPONENTS Gui)
find_package(JPEG REQUIRED)

set(CONVERT_SOURCES
  src/convert/handset_fit.cpp
  src/convert/jpeg_errors.cpp
  src/convert/jpeg_layout.cpp
  src/convert/picture.cpp
)
add_library(fenmora_convert STATIC ${CONVERT_SOURCES})
target_link_libraries(fenmora_convert PUBLIC fenmora_core fenmora_movie Qt6::Gui JPEG::JPEG)
# Every program that converts finds the movie helper beside it.
add_dependencies(fenmora_convert fenmora-movie)

set(CONVERT_TESTS
  tests/convert/fit_test.cpp
  tests/convert/movie_fit_test.cpp
  tests/convert/picture_test.cpp
  tests/convert/test_pictures.cpp
  tests/movie/test_movies.cpp
)
add_executable(fenmora_convert_tests ${CONVERT_TESTS} tests/support/temp_card.cpp)
target_include_directories(fenmora_convert_tests PRIVATE tests)
# The tests write their HEIF photos with libheif.
target_link_libraries(fenmora_convert_tests PRIVATE fenmora_convert PkgConfig::FFMPEG PkgConfig::HEIF GTest::gtest GTest::gtest_main)
gtest_discover_tests(fenmora_convert_tests PROPERTIES TIMEOUT 120 ENVIRONMENT FENMORA_LANG=ja DISCOVERY_TIMEOUT 60)
