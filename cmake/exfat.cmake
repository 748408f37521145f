# The card tests once more on a real exFAT volume (a loop device mounted
# through exfat-fuse), where names fold case and links do not exist. Skipped,
# with the reason, where the machine cannot mount one.
if(TARGET fenmora_cli_tests)
  add_test(NAME exfat_card_tests
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/exfat/run-on-exfat.sh
      $<TARGET_FILE:fenmora_core_tests> -- $<TARGET_FILE:fenmora_cli_tests>)
  set_tests_properties(exfat_card_tests PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 900 LABELS exfat ENVIRONMENT FENMORA_LANG=ja)
endif()
