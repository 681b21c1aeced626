#include "launcher/launcher_state.h"

#include "utility/process_order.h"

namespace Application {

TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_STATUS_TEXT) std::wstring StatusText;
TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_CONTACT_LINES)
const std::wstring ContactMessengerLine = L"Messenger: @TolvaneSoft";
TOLVANE_CONSTRUCT_IN_ORDER(TOLVANE_ORDER_CONTACT_LINES)
const std::wstring ContactMailLine = L"E-mail: support@tolvanesoft.com";

GameWindow* TheGameWindow = nullptr;
int ProgressBarLength = 0;
bool DisplayClosed = false;
bool FolderWritable = true;

namespace {
// Constant-initialised, so it works before and after the ordered objects exist.
std::mutex DisplayMutex;
} // namespace

std::unique_lock<std::mutex> LockDisplay() {
    return std::unique_lock<std::mutex>(DisplayMutex);
}

} // namespace Application
