#pragma once
// The launcher's side of the proof a new launcher gives (install/launcher_check.h): asked with
// "/selfcheck <list file> <answer file>", it judges the list with its built-in keys and product
// and writes its answer, touching nothing else: no window, no pass, no error log.
#include <string>

// True when the command line asks for the self-check; the answer is then written. False for
// any other command line, with nothing done.
bool AnswerSelfCheckRequest(const wchar_t* commandLine);
