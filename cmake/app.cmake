# The Qt side: preview (image decoding, melody player), the main window and the
# program `fenmora`, and their widget tests.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
find_package(JPEG REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2MIXER REQUIRED IMPORTED_TARGET SDL2_mixer)

set(CMAKE_AUTOMOC ON)

set(GUI_SOURCES
  src/preview/image_preview.cpp
  src/preview/jpeg_decoder.cpp
  src/preview/melody_player.cpp
  src/app/about_box.cpp
  src/app/app_paths.cpp
  src/app/card_control.cpp
  src/app/card_work.cpp
  src/app/drive_box.cpp
  src/app/drive_list.cpp
  src/app/help_view.cpp
  src/app/kind_model.cpp
  src/app/kind_page.cpp
  src/app/list_editor.cpp
  src/app/main_window.cpp
  src/app/movie_side.cpp
  src/app/off_thread.cpp
  src/app/preview_side.cpp
  src/app/qt_prompts.cpp
  src/app/thumbnails.cpp
  src/app/widgets.cpp
  src/app/window_place.cpp
)
set(GUI_HEADERS
  src/preview/image_preview.h
  src/preview/jpeg_decoder.h
  src/preview/melody_player.h
  src/app/about_box.h
  src/app/app_paths.h
  src/app/app_texts.h
  src/app/card_control.h
  src/app/card_work.h
  src/app/drive_box.h
  src/app/drive_list.h
  src/app/help_view.h
  src/app/kind_model.h
  src/app/kind_page.h
  src/app/links.h
  src/app/list_editor.h
  src/app/main_window.h
  src/app/movie_side.h
  src/app/off_thread.h
  src/app/preview_side.h
  src/app/qt_prompts.h
  src/app/thumbnails.h
  src/app/widgets.h
  src/app/window_place.h
)
add_library(fenmora_gui STATIC ${GUI_SOURCES} ${GUI_HEADERS})
target_link_libraries(fenmora_gui PUBLIC fenmora_core fenmora_convert Qt6::Widgets JPEG::JPEG ${CMAKE_DL_LIBS})
# SDL2_mixer's headers only: the melody player loads the library itself at the
# first melody played (src/preview/melody_player.cpp), so that it and the
# libraries it brings are not loaded with the window.
target_include_directories(fenmora_gui PRIVATE ${SDL2MIXER_INCLUDE_DIRS})
target_compile_options(fenmora_gui PRIVATE ${SDL2MIXER_CFLAGS_OTHER})
target_compile_definitions(fenmora_gui PUBLIC FENMORA_VERSION="${PROJECT_VERSION}")
# The programs find their data in "data" beside them: in the build tree, a link
# to the source tree's (src/app/app_paths.cpp).
file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/data ${CMAKE_BINARY_DIR}/data SYMBOLIC)

add_executable(fenmora src/app/main.cpp)
target_link_libraries(fenmora PRIVATE fenmora_gui)

# A small card for trying the window without a handset, made at build time by
# the project's own table writer: `make run` offers it in the drive list.
add_executable(make-sample-card tools/make-sample-card.cpp tests/movie/test_movies.cpp)
target_include_directories(make-sample-card PRIVATE tests)  # the tests' MFi and movie writers
target_link_libraries(make-sample-card PRIVATE fenmora_core fenmora_movie PkgConfig::FFMPEG Qt6::Gui)
add_dependencies(make-sample-card fenmora-movie)
set(SAMPLE_CARD ${CMAKE_BINARY_DIR}/sample-card)
add_custom_command(
  OUTPUT ${SAMPLE_CARD}/FENMORA-SAMPLE-CARD.txt
  COMMAND make-sample-card ${SAMPLE_CARD}
  DEPENDS make-sample-card fenmora-movie
  COMMENT "Writing the sample card ${SAMPLE_CARD}")
add_custom_target(sample_card ALL DEPENDS ${SAMPLE_CARD}/FENMORA-SAMPLE-CARD.txt)

# Pictures of the window, drawn headless from the sample card (`make screenshot`).
add_executable(fenmora_screenshots tools/screenshots.cpp)
target_link_libraries(fenmora_screenshots PRIVATE fenmora_gui Qt6::Test)
add_dependencies(fenmora_screenshots sample_card)

set(GUI_TESTS
  tests/preview/image_preview_test.cpp
  tests/preview/jpeg_decoder_test.cpp
  tests/preview/melody_player_test.cpp
  tests/preview/shipped_artwork_test.cpp
  tests/app/about_help_test.cpp
  tests/app/adding_test.cpp
  tests/app/app_paths_test.cpp
  tests/app/card_work_test.cpp
  tests/app/commit_backup_test.cpp
  tests/app/drive_watch_test.cpp
  tests/app/keyboard_test.cpp
  tests/app/list_editing_test.cpp
  tests/app/load_test.cpp
  tests/app/main_window_test.cpp
  tests/app/movie_window_test.cpp
  tests/app/preview_playback_test.cpp
  tests/app/prompts_progress_test.cpp
  tests/app/thumbnail_test.cpp
  tests/app/undo_test.cpp
  tests/app/window_layout_test.cpp
)
# Test helpers: the card builder (shared with the core's tests) and the
# headers of tests/app, which hold Qt objects for moc.
set(GUI_TEST_HELPERS
  tests/support/temp_card.cpp
  tests/movie/test_movies.cpp
  tests/app/media_files.h
  tests/app/window_fixture.h
)
add_executable(fenmora_gui_tests ${GUI_TESTS} ${GUI_TEST_HELPERS} tests/gui_main.cpp)
target_include_directories(fenmora_gui_tests PRIVATE tests)
target_compile_definitions(fenmora_gui_tests PRIVATE
  FENMORA_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
  FENMORA_SAMPLE_CARD="${CMAKE_BINARY_DIR}/sample-card")
add_dependencies(fenmora_gui_tests sample_card)
target_link_libraries(fenmora_gui_tests PRIVATE fenmora_gui Qt6::Test GTest::gtest PkgConfig::FFMPEG)
gtest_discover_tests(fenmora_gui_tests PROPERTIES TIMEOUT 120 ENVIRONMENT FENMORA_LANG=ja DISCOVERY_TIMEOUT 60)

# The window under a real X server with a window manager (Xvfb, twm): where
# its frame stands. Skipped when the X tools are missing.
add_test(NAME FramePlace.TheFrameStandsAtTenTenUnderAWindowManager
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/x11/frame_place_test.sh
                 $<TARGET_FILE:fenmora> ${SAMPLE_CARD})
set_tests_properties(FramePlace.TheFrameStandsAtTenTenUnderAWindowManager
                     PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)

# Built only when asked for. The JPEG preview benchmark:
#   cmake --build build --target jpeg_preview_bench && build/jpeg_preview_bench
add_executable(jpeg_preview_bench EXCLUDE_FROM_ALL bench/jpeg_preview_bench.cpp)
target_link_libraries(jpeg_preview_bench PRIVATE fenmora_gui)
# The artwork in data/ and the desktop icons in packaging/icons/ (kept in the
# repository): scripts/install-deps artwork && cmake --build build --target artwork
find_package(Qt6 QUIET OPTIONAL_COMPONENTS Svg)
if(TARGET Qt6::Svg)
  add_executable(make-artwork EXCLUDE_FROM_ALL tools/make-artwork.cpp)
  target_link_libraries(make-artwork PRIVATE Qt6::Gui Qt6::Svg)
  add_custom_target(artwork
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:make-artwork> ${CMAKE_CURRENT_SOURCE_DIR}/data
            ${CMAKE_CURRENT_SOURCE_DIR}/packaging/icons
    DEPENDS make-artwork VERBATIM)
endif()
