"""What pin_bench.py prints: its figures, ratios and whether the goals are met."""
import statistics

import pin_release as pr

BYTES_GOAL, UNCHANGED_GOAL = 0.01, 1.5


def median(results, key="seconds"):
    return statistics.median(r[key] for r in results)


def spread(results):
    return "%5.2f-%5.2f" % (min(r["seconds"] for r in results), max(r["seconds"] for r in results))


STEPS = (("parse_plain", "ParseLauncherLine, no fields"),
         ("parse_pinned", "ParseLauncherLine, size and sha256"),
         ("trace_line", "one trace line (std::cout, endl)"),
         ("create_folders", "Path::CreateFolders (query and trace a level)"),
         ("file_exists", "File::Exists (_wfopen, fclose)"),
         ("file_attributes", "GetFileAttributesExW"),
         ("cache_lookup", "StatCache::Lookup"),
         ("pinned_present", "PinnedCopyPresent, stat cache warm"),
         ("hash_file", "HashFile"),
         ("open_close", "  CreateFileW, CloseHandle"),
         ("read_file", "  open, ReadFile to the end, close"),
         ("buffer_1mib", "  new and delete of a 1 MiB buffer"),
         ("sha256_memory", "  CNG SHA-256 of as many bytes in memory"),
         ("hash_reused_buffer", "  open, read, hash, one buffer for all files"),
         ("hash_fresh_buffer", "  the same with a new 1 MiB buffer a file"),
         ("hash_fresh_64k_buffer", "  the same with a new 64 KiB buffer a file"))


def report(rounds, release, firsts, bumps, got, costs):
    """rounds: of each timed pass; firsts: {form: first pass}; bumps: {(form, version): passes};
    got: pin_bench.time_unchanged's; costs: {step: ms over all lines} of update_line_costs."""
    lines = len(release.names)
    print("release: %d files, %.0f MiB in %d folders; each bump changes %d files"
          % (lines, release.total(1) / 2**20, len(pr.FOLDERS), pr.CHANGED))
    for form, label in (("plain", "without fields"), ("pinned", "with fields")):
        if form in firsts:
            print("first pass, %-14s  %7.2f s" % (label + ":", firsts[form]["seconds"]))
    print("medians of %d rounds (fastest-slowest); bytes are response bodies:" % rounds)
    files_met, with_list = True, []
    for start, end in pr.BUMPS:
        changed = release.changed_bytes(end)
        print("version %d -> %d, %d files changed, %d bytes:" % (start, end, pr.CHANGED, changed))
        print("  %-27s %6s %13s %6s %10s %7s %8s"
              % ("", "pass", "(range)", "files", "bytes", "/chgd", "list"))
        for form in pr.FORMS:
            runs = bumps[form, end]
            label = ('without fields, %d "{rw}"' % len(release.ever_changed(end))
                     if form == "plain" else "with fields on every line")
            print("  %-27s %6.2f s (%s) %6d %10d %7.3f %8d"
                  % (label, median(runs), spread(runs), median(runs, "files"), median(runs, "bytes"),
                     median(runs, "bytes") / changed, runs[0]["list"]))
        plain, pinned = bumps["plain", end], bumps["pinned", end]
        print("  ratio without / with fields: time %.2f, bytes %.2f"
              % (median(plain) / median(pinned), median(plain, "bytes") / median(pinned, "bytes")))
        files_met = files_met and all(abs(r["bytes"] - changed) <= BYTES_GOAL * changed for r in pinned)
        with_list.append((pinned[0]["bytes"] + pinned[0]["list"]) / changed)
    print("goal, with fields the bytes of files fetched within 1%% of the changed bytes: %s"
          % ("met" if files_met else "not met"))
    print("  (with the list counted: %s x the changed bytes)" % ", ".join("%.2f" % r for r in with_list))
    unchanged, stopped, cold, repair = (got[key] for key in ("unchanged", "stopped", "cold", "repair"))
    plain, pinned = median(unchanged["plain"]), median(unchanged["pinned"])
    print("pass over %d unchanged files, changed Version line:" % lines)
    print("  without fields (every file present, no \"{rw}\"): %6.2f s (%s)  %.3f ms a line"
          % (plain, spread(unchanged["plain"]), 1000 * plain / lines))
    print("  with fields, stat cache warm:                   %6.2f s (%s)  %.3f ms a line"
          % (pinned, spread(unchanged["pinned"]), 1000 * pinned / lines))
    print("  ratio with / without fields: %.2f  (goal at most %.1f: %s)"
          % (pinned / plain, UNCHANGED_GOAL, "met" if pinned / plain <= UNCHANGED_GOAL else "not met"))
    print("  with fields, stat cache deleted (every file hashed): %6.2f s  (%.0f MiB/s)"
          % (cold["seconds"], release.total(pr.VERSIONS) / 2**20 / cold["seconds"]))
    print("  repair pass, unchanged Version line:                 %6.2f s" % repair["seconds"])
    print("pass whose Version line equals the record (stops there), list of %d lines:" % (lines + 1))
    for form, label in (("plain", "without fields"), ("pinned", "with fields")):
        print("  %-15s %6.2f s (%s)  list %d bytes"
              % (label + ":", median(stopped[form]), spread(stopped[form]), stopped[form][0]["list"]))
    print("what a pass does for each line, each step alone over the %d files (us a line):" % lines)
    for name, label in STEPS:
        print("  %-45s %8.2f" % (label, 1000 * costs[name] / lines))
    print("  %-45s %8.2f ms" % ("reading the stat cache, once", costs["cache_parse"]))
    print("  %-45s %8.2f ms" % ("writing it back, once", costs["cache_write"]))
