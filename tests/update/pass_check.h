#pragma once
// Whole update passes against the servers that run_with_servers.py started (nginx, the fault
// server, one with an untrusted certificate, a plain-HTTP twin), all over one document root:
// a case serves files, runs a pass into a folder and checks what the pass left.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "update/base/update_settings.h"
#include "update/transfer/retry_plan.h"

namespace pass_check {

// The folder of the test program, ending in a backslash.
extern const std::wstring Here;

// The environment variable, or empty.
std::wstring Env(const std::wstring& name);

// Writes "name:bytes|..." under a folder; bytes "@file" are those of that file beside the test
// program. A file whose bytes are "read-only" is made so; one whose bytes are "held", or a name
// without bytes (the file as it is), is held open without sharing until the pass of the case
// has ended.
void Place(const std::wstring& folder, const std::string& files);

// One pass: rows name only what differs from these defaults.
struct PassCase {
    const char* site = "";            // the site under the server's URL, in the document root
    const wchar_t* server = L"NGINX"; // NGINX, FAULT, UNTRUSTED or DEAD; nginx serves the list of
                                      // a "sign-N" site as the fault server signs it, untampered
    // Mirrors of the site, asked after server: names as for server, ";" between them.
    const wchar_t* mirrors = L"";
    const char* served = ""; // the site's files, "name:bytes|..."; the list is uploadfile.uda
    const char* before = ""; // the launcher folder before the pass, in the same form
    const char* after = "";  // and after it; "name:*" takes any content
    const char* errors = ""; // the error-log lines, "|" between them; "*" ends a line's known part
    int count = 0;           // the change of UpdateEntryCount
    bool ends = true;        // whether the end callback ran
    bool progress = false;   // whether progress reports arrived
    // The files the server was asked for, in order, below the site's upload folder, "|"
    // between them; null when not checked.
    const char* requested = nullptr;
    bool repair = false; // the pass is a repair
    int hashed = -1;     // how many local files the pass hashed; -1 when not checked
    // The keys the pass takes signed lists from: 0 none (unsigned lists), 1 the engine's built-in
    // key, 2 that key and the other test key, as a launcher holds both while the key changes.
    int keys = 0;
    const char* product = ""; // the product whose lists alone the pass takes; "": any
    // When not negative, a commit stops dead at that moment, as a kill would stop it, and the
    // launcher's start-up recovery runs before the folder is checked.
    int killAt = -1;
    // At that moment of a commit another program acts on the folder (act, in Place's form).
    int actAt = -1;
    const char* act = "";
    std::uint32_t limitKiBs = 0; // the pass's bandwidth limit; 0: none
    // When not 0, the most body bytes the first server may send in the pass, all requests
    // together.
    std::uint64_t sentAtMost = 0;
    // The channel the pass follows; the site serves the case's files from its folder
    // (ChannelFolder), and requested and {dl} name paths below that folder.
    const char* channel = "stable";
};

// Lays out bytes under a site's folder (its document root, ending in a backslash) as the
// publisher chunks a big file: each chunk under TolvaneChunks\<first 2 hex>\<sha>, the index
// under TolvaneChunks\index\<sha of the bytes>. Gives the chunks' hashes in file order.
std::vector<std::string> ServeChunks(const std::wstring& site, const std::string& bytes);
// The hashes of the chunks the publisher cuts bytes into, in file order.
std::vector<std::string> ChunkHashes(const std::string& bytes);

// Serves the case's files on its site as CheckPass does, for a pass the case runs itself.
// False when the list could not be signed.
bool Serve(const PassCase& pass);

// Every test of passes: it puts back each process-wide setting a test or a pass changes (the
// stall limit, the progress pause, the retry waits, the callbacks), so that no case runs with what
// an earlier test left.
class PassTest : public testing::Test {
  protected:
    PassTest();
    ~PassTest() override;

  private:
    const std::uint32_t stallLimitMs_, progressPauseMs_;
    const RetryPolicy retryPolicy_;
    const UpdateEndFunction endCallback_;
    const DownloadProgressFunction progressCallback_;
};

// Serves the case's files, runs a pass into the folder and checks the outcome: the folder, the
// error log, the entry count, the end callback, progress reports, the requests of the first
// server, the hashing
// and that the internet cache keeps nothing of the site while another program's entry, filed
// during the pass, stays. Whatever the case, no URL is asked for more than 11 times and no
// endless body runs out: a download is cut where it goes wrong. In the texts, {dl} stands for "No
// download file" and the site's upload URL, {fail} for the start of a download failure, {out}
// for a refused path, {nolist} for a list that could not be fetched, {folder} and {canary} for
// those paths, "update\chunks\*:*" in after for whatever lies in update\chunks\, {base0} for the
// server's base URL and {base1}, {base2} for the mirrors', {nul} for a NUL byte, {pin:TEXT} for the
// fields "size=N;sha256=HEX" of the bytes TEXT (or of the file, for
// "@file"), and {wrong} for fields of 65536 bytes that no body has.
void CheckPass(const PassCase& pass, const std::wstring& folder);

} // namespace pass_check
