#pragma once
// Whether the launcher may update the folder it is installed in, decided without the platform.
// Everything it writes lies in its own folder, so installed where the player cannot write (under
// Program Files, for a normal player) every write of a pass would fail, one file at a time.

namespace Application {

// What the launcher tells the player when it cannot write in its folder: in the error log
// after "error : ", or in a message box.
extern const wchar_t kFolderNotWritable[];

enum class FolderReport {
    None,         // the folder is writable: passes run as always
    ErrorLogLine, // one error-log line
    MessageBox    // one message box, when the error log cannot be written either
};

// How the launcher tells the player that its folder is not writable: not at all when it is.
FolderReport ReportForFolder(bool folderWritable, bool errorLogWritable);

} // namespace Application
