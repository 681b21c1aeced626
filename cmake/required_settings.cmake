# The settings a launcher build must be given, checked before anything is built from them.

# A launcher without a list key uses any list it is served, so it is never built by accident.
option(TOLVANE_ALLOW_UNSIGNED_LISTS
    "Build a launcher without a list-signing key, which uses any list it is served (development and tests only)"
    OFF)
# Set by the ship preset: a launcher for players needs its own server and key, never the demo's.
option(TOLVANE_SHIP "Build the launcher for players: TOLVANE_UPDATE_URL and TOLVANE_UPDATE_KEY must be given" OFF)

if(TOLVANE_SHIP)
    set(missing "")
    foreach(name TOLVANE_UPDATE_URL TOLVANE_UPDATE_KEY)
        if("${${name}}" STREQUAL "")
            list(APPEND missing ${name})
        endif()
    endforeach()
    if(missing)
        list(JOIN missing " and " missing)
        message(FATAL_ERROR "The ship preset builds a launcher for players, which needs its update "
            "server and list key; not set: ${missing}. Configure with: cmake --preset ship "
            "-DTOLVANE_UPDATE_URL=https://updates.example.com/launcher/ "
            "-DTOLVANE_UPDATE_KEY=KEYS/public.pem")
    endif()
elseif("${TOLVANE_UPDATE_KEY}" STREQUAL "" AND NOT TOLVANE_ALLOW_UNSIGNED_LISTS)
    message(FATAL_ERROR "No list-signing key: give TOLVANE_UPDATE_KEY "
        "(-DTOLVANE_UPDATE_KEY=KEYS/public.pem). A launcher without one uses any list it is "
        "served; for development and tests only, configure with -DTOLVANE_ALLOW_UNSIGNED_LISTS=ON.")
endif()
