#pragma once
// Export marker of the utility library. The library's own build (and every target that
// links it statically) exports the functions by their namespace-qualified names; another
// program that includes these headers imports them.
#if defined(TOLVANE_BUILDING_LIBRARY)
#define TOLVANE_API __declspec(dllexport)
#else
#define TOLVANE_API __declspec(dllimport)
#endif
