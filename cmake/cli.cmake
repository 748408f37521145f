# fenmora-cli: the card from a terminal, on the same core as the window. Of Qt
# it links only QtGui, through the conversion of added files (no widgets, no
# display needed).
set(CLI_SOURCES
  src/cli/card_export.cpp
  src/cli/cli_prompts.cpp
  src/cli/cli_work.cpp
  src/cli/commands.cpp
  src/cli/json.cpp
  src/cli/ops.cpp
)
add_library(fenmora_cli_lib STATIC ${CLI_SOURCES})
target_link_libraries(fenmora_cli_lib PUBLIC fenmora_core fenmora_convert)
target_compile_definitions(fenmora_cli_lib PRIVATE FENMORA_VERSION="${PROJECT_VERSION}")

add_executable(fenmora-cli src/cli/main.cpp)
target_link_libraries(fenmora-cli PRIVATE fenmora_cli_lib)

# The tests run the built program as a process on temporary cards.
set(CLI_TESTS
  tests/cli/across_time_test.cpp
  tests/cli/apply_test.cpp
  tests/cli/cli_test.cpp
  tests/cli/json_reader.cpp
  tests/cli/kill_test.cpp
  tests/cli/midi_export_test.cpp
  tests/cli/ops_json_test.cpp
  tests/cli/restore_test.cpp
  tests/cli/revert_test.cpp
  tests/cli/run_cli.cpp
  tests/cli/safety_test.cpp
)
add_executable(fenmora_cli_tests ${CLI_TESTS} tests/support/temp_card.cpp tests/movie/test_movies.cpp)
target_include_directories(fenmora_cli_tests PRIVATE tests)
target_link_libraries(fenmora_cli_tests PRIVATE fenmora_cli_lib PkgConfig::FFMPEG GTest::gtest GTest::gtest_main)
target_compile_definitions(fenmora_cli_tests PRIVATE
  FENMORA_CLI="$<TARGET_FILE:fenmora-cli>"
  FENMORA_VERSION="${PROJECT_VERSION}")
add_dependencies(fenmora_cli_tests fenmora-cli)
gtest_discover_tests(fenmora_cli_tests PROPERTIES TIMEOUT 120 ENVIRONMENT FENMORA_LANG=ja DISCOVERY_TIMEOUT 60)

# Neither program links FFmpeg's libraries: the movie helper alone does, and
# is started for a movie task (the check sees the helper's, so it can fail).
if(TARGET fenmora)
  add_test(NAME MovieHelper.OnlyTheHelperLinksFFmpeg
           COMMAND sh -c "readelf -d \"$1\" | grep -q libavcodec && ! readelf -d \"$2\" \"$3\" | grep -E 'libav|libsw|libheif'"
                   sh $<TARGET_FILE:fenmora-movie> $<TARGET_FILE:fenmora> $<TARGET_FILE:fenmora-cli>)
  set_tests_properties(MovieHelper.OnlyTheHelperLinksFFmpeg PROPERTIES TIMEOUT 30)
endif()
