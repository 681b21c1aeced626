# The configure-time check of TOLVANE_PROGRESS_PAUSE_MS, value by value: the number each value
# becomes, or (after "=" nothing) its refusal with a message that names the option.
# usage: cmake -DCHECK=<src/launcher/progress_pause.cmake> -P progress_pause_test.cmake
set(cases "300=300" "0=0" "000=0" "0300=300" "4294967295=4294967295" "4294967296="
    "99999999999999999999=" "-1=" "+5=" "1.5=" "1e3=" "0x10=" "abc=" "=" " 300=")
set(failures "")
foreach(case IN LISTS cases)
    string(REGEX MATCH "^(.*)=(.*)$" _ "${case}")
    set(value "${CMAKE_MATCH_1}")
    set(expected "${CMAKE_MATCH_2}")
    execute_process(COMMAND ${CMAKE_COMMAND} "-DTOLVANE_PROGRESS_PAUSE_MS=${value}" -P ${CHECK}
        RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(expected STREQUAL "")
        string(REGEX REPLACE "[ \n]+" " " err "${err}")
        if(status EQUAL 0 OR NOT err MATCHES "TOLVANE_PROGRESS_PAUSE_MS must be a whole number")
            list(APPEND failures "'${value}' is not refused: ${out}${err}")
        endif()
    elseif(NOT status EQUAL 0 OR NOT out MATCHES "TOLVANE_PROGRESS_PAUSE_MS=${expected}\n")
        list(APPEND failures "'${value}' does not give ${expected}: ${out}${err}")
    endif()
endforeach()
if(failures)
    string(REPLACE ";" "\n" failures "${failures}")
    message(FATAL_ERROR "${failures}")
endif()
