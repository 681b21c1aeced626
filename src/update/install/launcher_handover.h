#pragma once
// The hand-over of a launcher's own replacement. A commit done but for the running launcher's
// file (Recovered::HandOver) starts the staged launcher, which proved itself with its
// self-check, from its stage name; the running launcher ends, and the staged one, holding the
// folder's pass lock it inherited, waits for that end and then takes the name in one rename,
// writes the version record and finishes the commit. The name holds the previous launcher or
// the new one at every moment, so a shortcut to it always starts a launcher, and a launcher
// started while the hand-over is cut short hands it over again.
#include <string>

#include "update/install/commit.h"

// The switch of the staged launcher's command line:
// "<stage> /finish-update <folder> <parent process> <ready event> <then>".
extern const wchar_t kFinishUpdateSwitch[];

// What the staged launcher starts once the update is finished: nothing (the launcher that handed
// over has started the game), or the launcher again (the hand-over came before its window).
enum class AfterHandOver { Nothing, StartLauncher };

// Hands the folder's (ending in a backslash) pending launcher replacement to its staged
// launcher, and waits up to 20 s for it to take over. True when it did: this process must then
// end soon and change nothing more in the folder. A staged launcher that does not take over (a
// build from before the hand-over) is ended, and this process renames its own image into the
// aside area and the staged launcher into the name; false then, with the commit left for
// RecoverCommit to complete.
bool HandOverOwnFile(const std::wstring& setupFolder, AfterHandOver after);

// RecoverCommit, with a commit done but for the running launcher's own file handed over:
// HandOver then tells that it was handed over and that this process must end soon.
Recovered RecoverOrHandOver(const std::wstring& setupFolder, AfterHandOver after);

// True when the command line is a hand-over's (kFinishUpdateSwitch): the update is then
// finished once the process that started this one has ended, and what it asked for started.
// False, with nothing done, for any other command line.
bool FinishHandedOverUpdate(const wchar_t* commandLine);
