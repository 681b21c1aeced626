# The check of TOLVANE_PROGRESS_PAUSE_MS, the launcher's pause after each progress report.
# Included by CMakeLists.txt; alone it checks one value and prints it:
#   cmake -DTOLVANE_PROGRESS_PAUSE_MS=<value> -P progress_pause.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/whole_number.cmake)

# Sets out to the value in plain decimal digits, or stops the configuration with a message. The
# engine keeps the pause in 32 bits.
function(tolvane_check_progress_pause value out)
    tolvane_check_whole_number(TOLVANE_PROGRESS_PAUSE_MS milliseconds "${value}" 4294967295 checked)
    set(${out} ${checked} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    tolvane_check_progress_pause("${TOLVANE_PROGRESS_PAUSE_MS}" pause)
    message(STATUS "TOLVANE_PROGRESS_PAUSE_MS=${pause}")
endif()
