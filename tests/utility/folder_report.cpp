// A program for the folder tests to copy into folders of chosen path lengths: it writes what
// GetSetupExe and then what ExecutableFolder give into the error log, which lies beside it.
#include "utility/environment.h"
#include "utility/text_file.h"

int main() {
    File::WriteError(Environment::GetSetupExe());
    File::WriteError(Environment::ExecutableFolder());
    return 0;
}
