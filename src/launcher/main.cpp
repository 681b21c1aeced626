#include <windows.h>

#include "launcher/channel_choice.h"
#include "launcher/command_line.h"
#include "launcher/setup.h"
#include "launcher/shutdown.h"
#include "toolkit/window.h"
#include "update/base/failure_log.h"
#include "update/base/update_settings.h"
#include "update/install/launcher_handover.h"
#include "update/install/self_check.h"
#include "update/update_worker.h"
#include "utility/environment.h"

// The program's entry: assembles the launcher, shows it and runs its message loop. A close
// request stops the loop that Show runs; the window stays and the loop runs again, so the
// second close request ends the program (exit code 1). "/repair" on the command line asks the
// engine for a repair pass, "/limit=N" a bandwidth limit of N KiB/s for its downloads,
// "/channel=NAME" the channel it follows from now on. An update a kill cut short is recovered
// first.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    SystemWindow::InstanceHandle = instance;
    // A launcher staged by an update proves here that it can take the studio's lists.
    if (AnswerSelfCheckRequest(GetCommandLineW(),
                               {BuiltInListKey(), BuiltInProduct(), BuiltInServerUrl()}))
        return 0;
    // A launcher handed its predecessor's replacement takes the name and finishes the update.
    if (FinishHandedOverUpdate(GetCommandLineW()))
        return 0;
    if (Application::AsksForRepair(GetCommandLineW()))
        RepairRequested = true;
    // Before the first pass, which takes the limit into its options.
    const Application::LimitSwitch limit = Application::AskedDownloadLimit(GetCommandLineW());
    if (limit.given)
        DownloadLimitKiBs = limit.kibs;
    if (!limit.refused.empty())
        LogFailure(L"error : Bandwidth limit ignored: " + limit.refused +
                   L" is not /limit=N with N a whole number of KiB/s from 0 to " +
                   std::to_wstring(kMostDownloadLimitKiBs));
    // Once, before any pass: the settings of every pass name the channel and its folder.
    FollowedChannel = Application::ChooseChannel(Environment::ExecutableFolder(),
                                                 Application::AskedChannel(GetCommandLineW()));
    // A commit a kill cut short is finished or undone before anything else reads the folder.
    // One handed to the staged launcher ends this one, which that launcher starts again.
    if (!RecoverInterruptedUpdate(DefaultServerSettings()))
        return 0;
    Application::SetupApplication();
    if (SystemWindow::WindowList.size() != 1)
        return 1;
    SystemWindow::Window& window = *SystemWindow::WindowList.front();
    // Without a platform window no close request could ever stop the loop.
    if (window.hwnd == nullptr)
        return 1;
    if (!window.visible)
        window.Show();
    if (!window.running)
        window.RunMessageLoop(true);
    // Not a return into the runtime's exit, which would destroy what a running pass still uses.
    Application::EndProcess(1);
}
