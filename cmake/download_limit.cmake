# The check of TOLVANE_DOWNLOAD_LIMIT_KIBS, the build's default bandwidth limit of downloads
# (0: none), up to TOLVANE_MOST_DOWNLOAD_LIMIT. Included by src/update/base/CMakeLists.txt; alone
# it checks one value and prints it:
#   cmake -DTOLVANE_DOWNLOAD_LIMIT_KIBS=<value> -P download_limit.cmake
include(${CMAKE_CURRENT_LIST_DIR}/whole_number.cmake)

# The largest limit is the engine's, which the launcher's /limit=N switch keeps to as well.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../src/update/base/update_settings.h most
    REGEX "kMostDownloadLimitKiBs = [0-9]+;")
string(REGEX MATCH "= ([0-9]+)" most "${most}")
set(TOLVANE_MOST_DOWNLOAD_LIMIT "${CMAKE_MATCH_1}")
if(NOT TOLVANE_MOST_DOWNLOAD_LIMIT)
    message(FATAL_ERROR "update_settings.h no longer states kMostDownloadLimitKiBs")
endif()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    tolvane_check_whole_number(TOLVANE_DOWNLOAD_LIMIT_KIBS KiB/s "${TOLVANE_DOWNLOAD_LIMIT_KIBS}"
        ${TOLVANE_MOST_DOWNLOAD_LIMIT} limit)
    message(STATUS "TOLVANE_DOWNLOAD_LIMIT_KIBS=${limit}")
endif()
