# SPDX-License-Identifier: GPL-3.0-or-later
# Installing like a desktop program (cmake --install, make install) and the
# Debian package (make package, through CPack). The programs find what they
# read in ../share/fenmora from their bin folder (FENMORA_DATA_FROM_BIN).
set(FENMORA_ID io.github.fenmora.Fenmora)
set(PACKAGING ${CMAKE_CURRENT_SOURCE_DIR}/packaging)

# ------------------------------------------------------------ manual pages
# Written from each program's own --help at build time (cmake/manpage.cmake),
# gzipped without a time stamp as Debian installs them.
set(MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(MAN_PAGES)
set(MAN_PAGES_JA)
foreach(program IN ITEMS fenmora fenmora-cli)
  if(TARGET ${program})
    # English in man1, Japanese in ja/man1 (man -L ja).
    foreach(language IN ITEMS en ja)
      if(language STREQUAL "en")
        set(folder ${MAN_DIR}/man1)
        set(extra ${PACKAGING}/man/${program}.roff)
      else()
        set(folder ${MAN_DIR}/${language}/man1)
        set(extra ${PACKAGING}/man/${language}/${program}.roff)
      endif()
      add_custom_command(
        OUTPUT ${folder}/${program}.1 ${folder}/${program}.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
                -DVERSION=${PROJECT_VERSION} -DLANGUAGE=${language} -DEXTRA=${extra}
                -DOUTPUT=${folder}/${program}.1 -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/manpage.cmake
        COMMAND gzip -9nkf ${folder}/${program}.1
        DEPENDS ${program} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/manpage.cmake ${extra}
        COMMENT "Writing the manual page ${program}(1), ${language}"
        VERBATIM)
      if(language STREQUAL "en")
        list(APPEND MAN_PAGES ${folder}/${program}.1.gz)
      else()
        list(APPEND MAN_PAGES_JA ${folder}/${program}.1.gz)
      endif()
    endforeach()
  endif()
endforeach()

# The Debian change log, gzipped as for /usr/share/doc.
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PACKAGING}/debian/changelog ${CMAKE_BINARY_DIR}/changelog
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/changelog
  DEPENDS ${PACKAGING}/debian/changelog
  VERBATIM)
add_custom_target(install_files ALL DEPENDS ${MAN_PAGES} ${MAN_PAGES_JA} ${CMAKE_BINARY_DIR}/changelog.gz)

# ------------------------------------------------------------ what goes where
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
foreach(program IN ITEMS fenmora fenmora-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET fenmora-movie)
  install(TARGETS fenmora-movie RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/fenmora)
endif()
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/fenmora)
install(FILES ${PACKAGING}/${FENMORA_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PACKAGING}/${FENMORA_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PACKAGING}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${MAN_PAGES_JA} DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
install(FILES ${PACKAGING}/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/fenmora)

# ------------------------------------------------------------ checks in make test
# Both programs answer --help and --version without a window; the versions of
# the metainfo's newest release and of the Debian change log are the project's.
if(TARGET fenmora)
  add_test(NAME install.window_version COMMAND fenmora --version)
  set_tests_properties(install.window_version PROPERTIES
    PASS_REGULAR_EXPRESSION "^fenmora ${PROJECT_VERSION}\n$" TIMEOUT 30)
  add_test(NAME install.window_help COMMAND fenmora --help)
  set_tests_properties(install.window_help PROPERTIES
    PASS_REGULAR_EXPRESSION "Usage: fenmora \\[FOLDER\\]" TIMEOUT 30
    ENVIRONMENT "QT_QPA_PLATFORM=none-such;DISPLAY=;FENMORA_LANG=en")
  # The window started in each language shows its first caption, and Qt's
  # own buttons, in that language.
  set(window_language_env "QT_QPA_PLATFORM=offscreen;FENMORA_BENCH_EXIT_AFTER_PAINT=1;FENMORA_LANG=;LC_ALL=;LC_MESSAGES="
      "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/no-config;SDL_AUDIODRIVER=dummy")
  add_test(NAME install.window_language_en COMMAND fenmora)
  set_tests_properties(install.window_language_en PROPERTIES
    PASS_REGULAR_EXPRESSION "yes-button &Yes\nload-button Load Memory Card\n" TIMEOUT 60
    ENVIRONMENT "${window_language_env};LANG=en_US.UTF-8")
  add_test(NAME install.window_language_ja COMMAND fenmora)
  set_tests_properties(install.window_language_ja PROPERTIES
    PASS_REGULAR_EXPRESSION "yes-button はい[^\n]*\nload-button メモリカード読込\n" TIMEOUT 60
    ENVIRONMENT "${window_language_env};LANG=ja_JP.UTF-8")
  add_test(NAME install.window_help_ja COMMAND fenmora --help)
  set_tests_properties(install.window_help_ja PROPERTIES
    PASS_REGULAR_EXPRESSION "使い方: fenmora \\[FOLDER\\]" TIMEOUT 30
    ENVIRONMENT "QT_QPA_PLATFORM=none-such;DISPLAY=;FENMORA_LANG=;LC_ALL=;LC_MESSAGES=;LANG=ja_JP.UTF-8")
endif()
add_test(NAME install.release_versions
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION}
          -DMETAINFO=${PACKAGING}/${FENMORA_ID}.metainfo.xml
          -DCHANGELOG=${PACKAGING}/debian/changelog
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check-versions.cmake)
set_tests_properties(install.release_versions PROPERTIES TIMEOUT 30)

# ------------------------------------------------------------ the Debian package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fenmora)
set(CPACK_PACKAGE_VENDOR "The Fenmora developers")
set(CPACK_PACKAGE_CONTACT "The Fenmora developers <fenmora@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "manager for the SD card of a FOMA F900i handset")
set(CPACK_PACKAGE_DESCRIPTION
  "Fenmora manages what a DoCoMo FOMA F900i handset keeps on its SD card:
standby images, ring melodies and movies. It reads the handset's own
management tables, lets you retitle, reorder, renumber, delete and add
items, and writes the card back so that the handset reads it again.
Nothing on the card changes until the edits are committed.

The package holds the window (fenmora) and the command line (fenmora-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://fenmora.github.io/)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the programs link, found by dpkg-shlibdeps; besides them, what
# the window opens at run time: SDL2_mixer (loaded at the first melody), the
# General MIDI SoundFont it plays with, the Japanese fonts, and FFmpeg's codecs
# with the AMR-NB encoder the movie conversion writes the sound with, and Qt's
# Japanese texts (はい/いいえ on Qt's own buttons).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libsdl2-mixer-2.0-0, timgm6mb-soundfont, fonts-ipafont-gothic, libavcodec-extra59, qt6-translations-l10n")
# TIFF pictures in the preview.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
