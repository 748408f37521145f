# Benchmarks, built only on request (`make bench`).
# The full card that the benchmarks generate (no Qt).
add_library(fenmora_bench_card STATIC EXCLUDE_FROM_ALL bench/full_card.cpp)
target_include_directories(fenmora_bench_card PUBLIC bench)
target_link_libraries(fenmora_bench_card PUBLIC fenmora_core)

# The core on a full card: load, commit, queueing.
add_executable(card_bench EXCLUDE_FROM_ALL bench/card_bench.cpp)
target_link_libraries(card_bench PRIVATE fenmora_bench_card)

# The window: start-up to the first paint and peak memory with a full card
# loaded, each against a bare Qt window of the same build (bare_window); the
# grid refresh after "下へ" on a full list.
if(TARGET fenmora_gui)
  add_executable(bare_window EXCLUDE_FROM_ALL bench/bare_window.cpp)
  target_link_libraries(bare_window PRIVATE Qt6::Widgets)

  add_executable(window_bench EXCLUDE_FROM_ALL bench/window_bench.cpp)
  target_link_libraries(window_bench PRIVATE fenmora_gui fenmora_bench_card)
  # The programs it starts and compares.
  add_dependencies(window_bench bare_window)
  if(TARGET fenmora)
    add_dependencies(window_bench fenmora)
    target_compile_definitions(window_bench PRIVATE
      FENMORA_PROGRAM="$<TARGET_FILE:fenmora>" BARE_WINDOW_PROGRAM="$<TARGET_FILE:bare_window>")
  endif()
endif()

# MLD melodies: conversion against reading, and the player's start for an
# MLD against the MIDI file of the same notes.
if(TARGET fenmora_gui)
  add_executable(melody_bench EXCLUDE_FROM_ALL bench/melody_bench.cpp)
  target_include_directories(melody_bench PRIVATE tests)  # the tests' MFi writer
  target_link_libraries(melody_bench PRIVATE fenmora_gui)
endif()

# Converting a 4000 x 3000 photo for the handset, against decoding it once.
if(TARGET fenmora_convert)
  add_executable(convert_bench EXCLUDE_FROM_ALL bench/convert_bench.cpp)
  target_link_libraries(convert_bench PRIVATE fenmora_convert)
endif()

# Converting a 20-second 1280 x 720 phone video for the handset, against the
# ffmpeg command line (the bench group of scripts/install-deps installs it).
add_executable(movie_bench EXCLUDE_FROM_ALL bench/movie_bench.cpp tests/movie/test_movies.cpp)
target_include_directories(movie_bench PRIVATE tests)
target_link_libraries(movie_bench PRIVATE fenmora_movie fenmora_bench_card PkgConfig::FFMPEG)
add_dependencies(movie_bench fenmora-movie)
if(TARGET fenmora-cli)
  add_dependencies(movie_bench fenmora-cli)
  target_compile_definitions(movie_bench PRIVATE FENMORA_CLI="$<TARGET_FILE:fenmora-cli>")
endif()
