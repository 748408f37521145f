# fenmora-cli: the card from a terminal, on the same core as the window. Of Qt
# it links only QtGui, through the conversion of added files (no widgets, no
# display needed).
file(GLOB CLI_SOURCES CONFIGURE_DEPENDS src/cli/*.cpp)
list(FILTER CLI_SOURCES EXCLUDE REGEX ".*/src/cli/main\\.cpp$")
add_library(fenmora_cli_lib STATIC ${CLI_SOURCES})
target_link_libraries(fenmora_cli_lib PUBLIC fenmora_core fenmora_convert)
target_compile_definitions(fenmora_cli_lib PRIVATE FENMORA_VERSION="${PROJECT_VERSION}")

add_executable(fenmora-cli src/cli/main.cpp)
target_link_libraries(fenmora-cli PRIVATE fenmora_cli_lib)

# The tests run the built program as a process on temporary cards.
file(GLOB CLI_TESTS CONFIGURE_DEPENDS tests/cli/*.cpp)
add_executable(fenmora_cli_tests ${CLI_TESTS} tests/support/temp_card.cpp)
target_include_directories(fenmora_cli_tests PRIVATE tests)
target_link_libraries(fenmora_cli_tests PRIVATE fenmora_cli_lib GTest::gtest GTest::gtest_main)
target_compile_definitions(fenmora_cli_tests PRIVATE
  FENMORA_CLI="$<TARGET_FILE:fenmora-cli>"
  FENMORA_VERSION="${PROJECT_VERSION}")
add_dependencies(fenmora_cli_tests fenmora-cli)
gtest_discover_tests(fenmora_cli_tests PROPERTIES TIMEOUT 120 DISCOVERY_TIMEOUT 60)
