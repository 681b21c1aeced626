# The studio's list-signing public key, read at configure time (see list_key.py).

# Sets out_var to the keys' X then Y as 128 hex digits each, one after another, or to "" when
# pems is empty. pems is a list: a launcher that holds the new key beside the old one carries
# the studio over a key change. A file that is not an ECDSA P-256 public key stops the configure
# step, naming the file and what is wrong.
function(tolvane_list_key pems out_var)
    set(keys "")
    # A list handed on through cmake_parse_arguments(PARSE_ARGV) keeps its ; escaped: both paths
    # would reach list_key.py as one argument.
    string(REPLACE "\\;" ";" pems "${pems}")
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    foreach(pem IN LISTS pems)
        # A relative path is taken from the top of the source tree, where the commands run.
        get_filename_component(pem "${pem}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
        execute_process(
            COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/list_key.py "${pem}"
            OUTPUT_VARIABLE key ERROR_VARIABLE reason RESULT_VARIABLE result
            OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
        if(NOT result EQUAL 0 OR NOT key MATCHES "^[0-9a-f]+$")
            message(FATAL_ERROR
                "The list-signing key (TOLVANE_UPDATE_KEY, or KEY of tolvane_update_library) is not usable: ${reason}")
        endif()
        # A changed key file configures again.
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem}")
        string(APPEND keys "${key}")
    endforeach()
    set(${out_var} "${keys}" PARENT_SCOPE)
endfunction()
