# The folder conversion's dialogs driven as a user would, under Wine (Windows
# builds only): test_folder_win links the dialogs' sources, their resources,
# the framework's window-test helpers and the folder test builders.
if(WIN32)
  tolvarinx_test_suite(folder_win tolvarinx_framework tolvarinx_app_logic)
  if(TARGET test_folder_win)
    target_sources(test_folder_win PRIVATE
      ${PROJECT_SOURCE_DIR}/app/file_drop.cpp
      ${PROJECT_SOURCE_DIR}/app/folder_conversion.cpp
      ${PROJECT_SOURCE_DIR}/app/folder_progress_dialog.cpp
      ${PROJECT_SOURCE_DIR}/app/folder_settings_dialog.cpp
      ${CMAKE_CURRENT_LIST_DIR}/test_resources.rc
      ${CMAKE_CURRENT_LIST_DIR}/../framework_win/window_test_support.cpp
      ${CMAKE_CURRENT_LIST_DIR}/../app/folder_test_support.cpp
      ${CMAKE_CURRENT_LIST_DIR}/../app/folder_test_support_win32.cpp)
    set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/test_resources.rc PROPERTIES OBJECT_DEPENDS
      "${PROJECT_SOURCE_DIR}/app/folder_dialogs.rc;${PROJECT_SOURCE_DIR}/app/logic/folder_dialog_ids.h;${TOLVARINX_MESSAGES_DIR}/messages_ja.rch;${TOLVARINX_MESSAGES_DIR}/messages_en.rch")
    add_dependencies(test_folder_win tolvarinx_messages)
  endif()
endif()
