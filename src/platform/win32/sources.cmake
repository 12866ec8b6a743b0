# The Windows layer: every source file of this folder.
set(TOLVANE_PLATFORM_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/process.cpp ${CMAKE_CURRENT_LIST_DIR}/prompt_box.cpp
    ${CMAKE_CURRENT_LIST_DIR}/files.cpp ${CMAKE_CURRENT_LIST_DIR}/file_checks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_copy.cpp ${CMAKE_CURRENT_LIST_DIR}/cp1252.cpp)
