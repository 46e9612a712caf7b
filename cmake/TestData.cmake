# The test data of testdata/ as one listing, for the build and for CTest.
#
# The corpus suites make one test case per data file, and their case lists are
# read from the test programs. tolvarinx_test_data_listing() globs the data
# folders (CONFIGURE_DEPENDS: a file added or removed reruns CMake at the next
# build); the test programs link-depend on the listing file it writes, so they
# are relinked, and their cases discovered again, exactly when the data set
# changes. Run as a script (cmake -DDATA_DIR=... -DLISTING=... -P TestData.cmake)
# it compares the data on disk with the listing of the last build and fails
# when they differ, so a stale case list is reported instead of run.

set(TOLVARINX_TEST_DATA_FOLDERS pngsuite/png pngsuite/bmp gifsuite/gifs gifsuite/gifs/frames bench)

# tolvarinx_test_data_listing(<out-var> <data-dir>): the relative paths of every
# data file, one per line; a missing or empty folder is a fatal error.
function(tolvarinx_test_data_listing out data_dir)
  set(listing "")
  set(rerun CONFIGURE_DEPENDS)
  if(CMAKE_SCRIPT_MODE_FILE)
    set(rerun "")   # only a configure run can glob for the build
  endif()
  foreach(folder ${TOLVARINX_TEST_DATA_FOLDERS})
    file(GLOB files LIST_DIRECTORIES false ${rerun} RELATIVE ${data_dir} ${data_dir}/${folder}/*)
    if(NOT files)
      message(FATAL_ERROR "The test data folder ${data_dir}/${folder} is missing or empty: "
                          "the corpus tests would silently run fewer cases.")
    endif()
    list(SORT files)
    foreach(file ${files})
      string(APPEND listing "${file}\n")
    endforeach()
  endforeach()
  set(${out} "${listing}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  tolvarinx_test_data_listing(current ${DATA_DIR})
  file(READ ${LISTING} built)
  if(NOT current STREQUAL built)
    message(FATAL_ERROR "The test data in ${DATA_DIR} changed since the test programs were built; "
                        "build again so the corpus test cases follow it.")
  endif()
endif()
