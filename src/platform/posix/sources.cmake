# The POSIX layer: every source file of this folder, the box's (box/), and the code
# page's UTF-8 output, which only the POSIX boxes use.
include(${CMAKE_CURRENT_LIST_DIR}/box/sources.cmake)
set(TOLVANE_PLATFORM_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/process.cpp ${CMAKE_CURRENT_LIST_DIR}/file_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ending_signals.cpp ${CMAKE_CURRENT_LIST_DIR}/files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_copy.cpp ${CMAKE_CURRENT_LIST_DIR}/file_permissions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standard_descriptors.cpp
    ${TOLVANE_POSIX_BOX_SOURCES}
    ${CMAKE_CURRENT_LIST_DIR}/../cp1252.cpp)
