#pragma once
// The proof a new launcher gives before it replaces the running one, as text: started on the
// list that brought it, it must accept that list with its own built-in keys and product, answer
// with the list's serial, and name the update servers it fetches from, among which must be the
// one that served the list. A program that is not a launcher, or a launcher that could not take
// the studio's next lists or would look for them elsewhere, never becomes the player's launcher.
//
// The running launcher writes kHostsQuestion into the answer file before it starts the new
// one. A launcher that finds it there names its servers; one that does not (it was started by
// a launcher older than the question) answers with the serial alone, as such a launcher
// requires. A launcher older than the question overwrites it without naming its servers, and
// is held back: nothing tells where it would look for the next list.
#include <cstdint>
#include <string>

// The switch that asks a launcher for its answer: "<exe> /selfcheck <list file> <answer file>".
extern const wchar_t kSelfCheckSwitch[];

// What the running launcher writes into the answer file before the new one answers.
extern const char kHostsQuestion[];

// What a launcher was built with.
struct LauncherBuild {
    std::string keys;    // the list keys, 64 bytes each; none for a build without a key
    std::string product; // the product whose lists alone it takes; empty: any
    std::wstring hosts;  // the base URLs of its update servers, ';' between mirrors
};

// The answer of a launcher so built about the list's bytes: "tolvane-selfcheck serial=N" when
// it accepts the list, followed by a line "hosts=<its hosts>" when asked for them;
// "tolvane-selfcheck refused: REASON" when not; "tolvane-selfcheck keyless" without keys.
std::string SelfCheckAnswer(const std::string& listBytes, const LauncherBuild& build,
                            bool hostsAsked);

// Why an answer does not vouch for the list of that serial served from servedUrl (the base
// URL of the update server that served it); empty when it does.
std::wstring AnswerFailure(const std::string& answer, std::uint64_t serial,
                           const std::wstring& servedUrl);

// True when servedUrl is one of hosts (';' between them): the same scheme and authority
// ("host:port", in any case, the default port named or not) and the same path.
bool AmongHosts(const std::wstring& hosts, const std::wstring& servedUrl);
