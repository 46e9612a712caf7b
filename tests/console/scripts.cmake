# Shell-script tests of the console program (Linux builds only): the GNU
# parallel recipe against the folder mode, the installed program, and the
# manual page against --help.
if(CMAKE_CROSSCOMPILING OR NOT TARGET tolvarinxc)
  return()
endif()
add_test(NAME console_parallel_recipe
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/parallel_recipe_test.sh $<TARGET_FILE:tolvarinxc>
    ${TOLVARINX_CORPUS_DIR}/pngsuite/png ${CMAKE_CURRENT_BINARY_DIR}/parallel-recipe)
set_tests_properties(console_parallel_recipe PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
add_test(NAME console_install
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh ${CMAKE_BINARY_DIR}
    ${PROJECT_SOURCE_DIR}/samples/sample.bmp ${CMAKE_CURRENT_BINARY_DIR}/install-test)
set_tests_properties(console_install PROPERTIES TIMEOUT 300)
add_test(NAME console_man_page
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/man_page_test.sh $<TARGET_FILE:tolvarinxc>
    ${PROJECT_SOURCE_DIR}/docs/tolvarinxc.1)
