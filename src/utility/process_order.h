#pragma once
// The process-wide objects are constructed in this order before the entry point runs and
// destroyed in the reverse order at the normal process exit. Lower numbers are built first.
#define TOLVANE_CONSTRUCT_IN_ORDER(rank) __attribute__((init_priority(rank)))

#define TOLVANE_ORDER_LINE_LIST 1001       // the lines of File::ReadTXTListString
#define TOLVANE_ORDER_FILE_LIST 1002       // the results of the Path listings
#define TOLVANE_ORDER_COMPONENT_LIST 1003  // the toolkit's registry of event objects
#define TOLVANE_ORDER_WINDOW_LIST 1004     // the toolkit's top-level windows
#define TOLVANE_ORDER_UPDATE_THREAD 1005   // the update pass's thread object
#define TOLVANE_ORDER_UPDATE_SETTINGS 1006 // the update server settings
#define TOLVANE_ORDER_STATUS_TEXT 1007     // the launcher's status line
#define TOLVANE_ORDER_CONTACT_LINES 1008   // the launcher's two contact lines
