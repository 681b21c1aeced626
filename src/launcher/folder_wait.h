#pragma once
// The launcher while another launcher runs a pass in its folder. The main thread spends its
// idle turns waiting for that pass to end, without using the processor, and then goes on as at
// the end of a pass of its own. Main thread only.

namespace Application {

// Starts waiting for the other launcher's pass.
void WaitForOtherLauncher();

// True from WaitForOtherLauncher until that pass has ended.
bool WaitingForOtherLauncher();

// The message loop's idle turn while waiting: returns when a message comes for the main thread,
// when a name changes in the update folder, or after a second. Once the other pass has ended,
// OnUpdateEnd: the game starts and the launcher ends; without a game, the wait is over.
void AwaitOtherLauncher();

} // namespace Application
