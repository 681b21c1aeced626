# The check of TOLVANE_CHANNEL, the channel a launcher follows until its player chooses another
# with /channel=NAME. Included by src/launcher/CMakeLists.txt; alone it checks one value and
# prints the channel it stands for:
#   cmake -DTOLVANE_CHANNEL=<value> -P channel_option.cmake

# Sets out to the channel the name stands for in its one spelling (lower case), or stops the
# configuration with a message. The rule is the launcher's ChannelName (src/update/base/
# channel_name.cpp); both are checked against tests/update/channel_table.txt.
function(tolvane_check_channel value out)
    string(LENGTH "${value}" length)
    if(NOT value MATCHES "^[A-Za-z0-9_-]+$" OR length GREATER 32)
        message(FATAL_ERROR "TOLVANE_CHANNEL must be 1 to 32 ASCII letters, digits, '-' or '_'; it is '${value}'")
    endif()
    string(TOLOWER "${value}" channel)
    set(${out} "${channel}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    tolvane_check_channel("${TOLVANE_CHANNEL}" channel)
    message(STATUS "TOLVANE_CHANNEL=${channel}")
endif()
