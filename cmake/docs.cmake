# The manuals as a reader uses them: links that lead somewhere, samples that
# are what the programs print now, and the scripts that check both.
add_test(NAME docs_links_resolve COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-docs ${PROJECT_SOURCE_DIR})
add_test(NAME docs_tools_catch_faults COMMAND ${PROJECT_SOURCE_DIR}/scripts/docs-tools-test)

# Every sample runs a program of this tree: the table tools, the image under
# boardsim, gdb-multiarch against it.
find_program(DOCS_GDB gdb-multiarch)
# The sanitizer tree runs the same programs slower and adds nothing to what
# this checks, so only the main tree runs it.
if(SANITIZE)
  return()
endif()
if(TARGET dactables AND TARGET romtable AND TARGET boardsim AND TARGET firmware_image AND DOCS_GDB)
  add_test(NAME docs_samples_are_current
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-docs --check --build ${CMAKE_BINARY_DIR})
  set_tests_properties(docs_samples_are_current PROPERTIES TIMEOUT 180)
else()
  set(reason "needs dactables, romtable, boardsim, the firmware image and gdb-multiarch")
  if(REQUIRE_ALL_TOOLS AND NOT DOCS_GDB)
    message(FATAL_ERROR "docs_samples_are_current needs gdb-multiarch; run scripts/bootstrap")
  endif()
  add_test(NAME "docs_samples_are_current (skipped: ${reason})"
    COMMAND ${CMAKE_COMMAND} -E echo "skipped: ${reason}")
  set_tests_properties("docs_samples_are_current (skipped: ${reason})"
    PROPERTIES SKIP_REGULAR_EXPRESSION "^skipped:")
endif()
