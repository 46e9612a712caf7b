# The installed library built into a C program (Linux builds with the library).
if(CMAKE_CROSSCOMPILING OR NOT TARGET tolvarinx)
  return()
endif()
# A sanitized library needs its runtime in the program too, first in line.
set(check_program_flags "")
if(TOLVARINX_SANITIZE)
  set(check_program_flags "-fsanitize=address,undefined")
elseif(TOLVARINX_TSAN)
  set(check_program_flags "-fsanitize=thread")
endif()
add_test(NAME library_install
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_C_COMPILER}
    ${CMAKE_CURRENT_LIST_DIR}/installed_library_check.c ${CMAKE_CURRENT_BINARY_DIR}/library-install
    "${check_program_flags}")
set_tests_properties(library_install PROPERTIES TIMEOUT 300)
