#pragma once
// The last resort against a body without end. Wine's urlmon reads a body to its end even after
// the binding was aborted, so a server that streams without pause would hold the download, and
// the disk it fills, for ever. Shutting down this process's connections to the server makes
// the platform see the end of the body at once. A shut-down idle connection is only reopened.
#include <string>

// Shuts down, in both directions, every TCP connection of this process to the host and port of
// the URL (an http or https URL). Returns how many it shut down.
int ShutDownConnectionsTo(const std::wstring& url);
