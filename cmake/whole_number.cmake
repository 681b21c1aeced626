# The configure-time check of a build option that is a whole number from 0 to a largest value.

# Sets out to value in plain decimal digits, or stops the configuration with a message that names
# the option (name), what it counts (unit) and the largest value (most, at most 4294967295).
function(tolvane_check_whole_number name unit value most out)
    set(refusal "${name} must be a whole number of ${unit} from 0 to ${most}")
    if(NOT value MATCHES "^[0-9]+$")
        message(FATAL_ERROR "${refusal}, written in digits only; it is '${value}'")
    endif()
    # Leading zeros would make the C++ literal octal. (A replacement anchored with ^ would run
    # again on what is left after each match.)
    string(REGEX MATCH "^0*([0-9]+)$" value "${value}")
    set(value "${CMAKE_MATCH_1}")
    string(LENGTH "${value}" digits)
    # More digits than 32 bits hold could overflow the comparison.
    if(digits GREATER 10 OR value GREATER most)
        message(FATAL_ERROR "${refusal}; it is ${value}")
    endif()
    set(${out} ${value} PARENT_SCOPE)
endfunction()
