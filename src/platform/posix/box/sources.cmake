# The box a POSIX run shows: every source file of this folder.
set(TOLVANE_POSIX_BOX_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/prompt_box.cpp ${CMAKE_CURRENT_LIST_DIR}/prompt_box_terminal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/prompt_box_desktop.cpp ${CMAKE_CURRENT_LIST_DIR}/dialog_command.cpp
    ${CMAKE_CURRENT_LIST_DIR}/terminal_layout.cpp ${CMAKE_CURRENT_LIST_DIR}/terminal_answers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/terminal_charset.cpp ${CMAKE_CURRENT_LIST_DIR}/terminal_window.cpp)
