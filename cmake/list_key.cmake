# The studio's list-signing public key, read at configure time (see list_key.py).

# Sets out_var to the key's X then Y as 128 hex digits, or to "" when pem is "". A file that is
# not an ECDSA P-256 public key stops the configure step, naming the file and what is wrong.
function(tolvane_list_key pem out_var)
    if(pem STREQUAL "")
        set(${out_var} "" PARENT_SCOPE)
        return()
    endif()
    get_filename_component(pem "${pem}" ABSOLUTE)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    execute_process(
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/list_key.py ${pem}
        OUTPUT_VARIABLE key ERROR_VARIABLE reason RESULT_VARIABLE result
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(NOT result EQUAL 0 OR NOT key MATCHES "^[0-9a-f]+$")
        message(FATAL_ERROR
            "The list-signing key (TOLVANE_UPDATE_KEY, or KEY of tolvane_update_library) is not usable: ${reason}")
    endif()
    # A changed key file configures again.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
    set(${out_var} "${key}" PARENT_SCOPE)
endfunction()
