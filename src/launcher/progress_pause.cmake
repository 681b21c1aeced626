# The check of TOLVANE_PROGRESS_PAUSE_MS, the launcher's pause after each progress report.
# Included by CMakeLists.txt; alone it checks one value and prints it:
#   cmake -DTOLVANE_PROGRESS_PAUSE_MS=<value> -P progress_pause.cmake

# Sets out to the value in plain decimal digits, or stops the configuration with a message.
function(tolvane_check_progress_pause value out)
    set(refusal "TOLVANE_PROGRESS_PAUSE_MS must be a whole number of milliseconds from 0 to")
    if(NOT value MATCHES "^[0-9]+$")
        message(FATAL_ERROR "${refusal} 4294967295, written in digits only; it is '${value}'")
    endif()
    # Leading zeros would make the C++ literal octal. (A replacement anchored with ^ would run
    # again on what is left after each match.)
    string(REGEX MATCH "^0*([0-9]+)$" value "${value}")
    set(value "${CMAKE_MATCH_1}")
    string(LENGTH "${value}" digits)
    # The engine keeps the pause in 32 bits.
    if(digits GREATER 10 OR value GREATER 4294967295)
        message(FATAL_ERROR "${refusal} 4294967295; it is ${value}")
    endif()
    set(${out} ${value} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    tolvane_check_progress_pause("${TOLVANE_PROGRESS_PAUSE_MS}" pause)
    message(STATUS "TOLVANE_PROGRESS_PAUSE_MS=${pause}")
endif()
