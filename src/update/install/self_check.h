#pragma once
// The new launcher's side of the proof it gives (self_check_answer.h): asked with
// "/selfcheck <list file> <answer file>", it judges the list as it was built to and writes its
// answer, touching nothing else: no window, no pass, no error log.
#include "update/install/self_check_answer.h"

// True when the command line asks for the self-check; the answer of a launcher so built is
// then written, naming its update servers when the answer file holds the question. False for
// any other command line, with nothing done.
bool AnswerSelfCheckRequest(const wchar_t* commandLine, const LauncherBuild& build);
