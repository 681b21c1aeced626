"""What one launcher pass did, told from the launcher's trace lines, the requests in nginx's
access log, its error-log lines and the player folder before and after it."""
import urllib.parse

UPLOAD = "/AppGameUpload/"
LIST_NAME = "uploadfile.uda"


class AccessLog:
    """nginx's access log, read on from where the last pass left it."""

    def __init__(self, path):
        self.path = path
        self.seen = 0

    def new_requests(self):
        """(method, path, status) of each request logged since the last call."""
        try:
            with open(self.path, encoding="latin-1") as log:
                lines = log.read().splitlines()
        except OSError:
            lines = []
        fresh, self.seen = lines[self.seen:], len(lines)
        requests = []
        for line in fresh:
            # 127.0.0.1 - - [time] "GET /path HTTP/1.1" 200 1234 "-" "agent"
            parts = line.split('"')
            if len(parts) < 3:
                continue
            request = parts[1].split(" ")
            path = urllib.parse.unquote(request[1]).replace("\\", "/") if len(request) > 1 else ""
            requests.append((request[0], path, (parts[2].split() or ["?"])[0]))
        return requests


def failed_downloads(errors):
    """{relative path: reason} of the run's "No download file <url> -> reason" lines."""
    failed = {}
    for line in errors:
        if "No download file " in line and UPLOAD in line:
            url, _, reason = line.split(UPLOAD, 1)[1].partition(" ->")
            failed[url.replace("\\", "/")] = reason.strip()
    return failed


class PassReport:
    """run: a player.LauncherRun; listed: the served list's file paths; before and after:
    player snapshots; damaged: the files the demo spoiled in the player folder; untouched:
    whether the whole player folder, records included, stayed byte for byte as it was."""

    def __init__(self, run, requests, listed, before, after, damaged=(), untouched=None):
        self.run = run
        self.untouched = untouched
        self.requests = [(m, p[len(UPLOAD):] if p.startswith(UPLOAD) else p, s) for m, p, s in requests]
        got = {p: s for _, p, s in self.requests if p != LIST_NAME}
        trace = set(run.trace)
        self.failed = failed_downloads(run.errors)
        self.fetched = sorted(p for p, s in got.items() if s == "200" and p not in self.failed)
        self.identical = sorted(p for p in listed if f"{p} <- identical" in trace)
        self.hashed = sorted(p for p in listed if f"hashing {p}" in trace)
        self.repaired = [p for p in self.fetched if p in damaged]
        self.new = [p for p in self.fetched if p not in before and p not in damaged]
        self.changed = [p for p in self.fetched if p in before and p not in damaged]
        self.deleted = sorted(set(before) - set(after))
        self.kept = [p for p in self.failed if p in before and before[p] == after.get(p)]
        self.refusal = next((line for line in run.errors if "The update list" in line), None)
        self.went_on = any("< - Find" in line for line in trace)

    def launcher_text(self):
        """What the launcher did, in one line."""
        if self.refusal:
            game = "started the installed game" if self.run.started else "the game did NOT start"
            return f"refused the list; fetched, deleted and created nothing; {game}"
        if not self.went_on:
            return "accepted the list and stopped at the unchanged version line"
        repaired = f" ({len(self.repaired)} repaired)" if self.repaired else ""
        parts = [f"fetched {len(self.fetched)}{repaired}", f"skipped {len(self.identical)} as identical"]
        if self.failed:
            parts.append(f"refused {len(self.failed)} ({', '.join(self.failed)})")
        if self.deleted:
            parts.append(f"deleted {len(self.deleted)}")
        return ", ".join(parts)

    def nginx_text(self):
        return "; ".join(f"{m} {p} {s}" for m, p, s in self.requests) or "nothing"

    def file_lines(self):
        """(label, text) lines that count the files, naming each."""
        rows = [("fetched", f"{len(self.fetched)}: {len(self.new)} new, {len(self.changed)} changed in the "
                            f"release, {len(self.repaired)} repaired (damaged in the player folder)")]
        for label, paths in (("  new", self.new), ("  changed", self.changed), ("  repaired", self.repaired)):
            if paths:
                rows.append((label, ", ".join(paths)))
        if self.identical:
            hashed = len(set(self.identical) & set(self.hashed))
            rows.append(("identical", f"{len(self.identical)}: matched the list's size and SHA-256, not requested"
                                      f" ({hashed} hashed, the rest known from update\\hashes.cache)"))
        if self.failed:
            refused = ", ".join(f"{p} ({r})" for p, r in self.failed.items())
            rows.append(("refused", f"{len(self.failed)}: {refused}"))
            rows.append(("  kept", ", ".join(self.kept) or "nothing"))
        if self.deleted:
            rows.append(("deleted", f"{len(self.deleted)}: " + ", ".join(self.deleted)))
        return rows
