"""What one launcher pass did, told from the launcher's trace lines, the requests in nginx's
access log, its error-log lines and the player folder before and after it."""
import urllib.parse

UPLOAD = "/AppGameUpload/"
LIST_NAME = "uploadfile.uda"
HELD_BACK = "the release is held back until every file is staged"
INSTALLED = "release installed: "


class AccessLog:
    """nginx's access log, read on from where the last pass left it."""

    def __init__(self, path):
        self.path = path
        self.seen = 0

    def new_requests(self):
        """(method, path, status) of each request logged since the last call."""
        return [request[:3] for request in self.new_transfers()]

    def new_transfers(self):
        """(method, path, status, body bytes) of each request logged since the last call."""
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
            answer = parts[2].split() + ["?", "0"]
            requests.append((request[0], path, answer[0], int(answer[1]) if answer[1].isdigit() else 0))
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
        # A signed list's release: each file staged beside its target, then all moved in at once.
        staging = [p for p in listed if f"{p} <- staging" in trace]
        self.staged = [p for p in staging if p not in self.failed]
        self.reused = [p for p in listed if f"{p} <- staged before" in trace]
        self.held = HELD_BACK in trace
        installed = next((line for line in run.trace if line.startswith(INSTALLED)), None)
        # "release installed: N fetched, M staged before, K moved in, R removed"
        self.installed = installed and dict(
            (word.split(" ", 1)[1], int(word.split(" ", 1)[0])) for word in installed[len(INSTALLED):].split(", "))
        self.went_on = any("< - Find" in line for line in trace) or self.held or bool(self.installed)

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
        if self.held or self.installed:
            parts.append(self.release_text())
        elif self.deleted:
            parts.append(f"deleted {len(self.deleted)}")
        return ", ".join(parts)

    def release_text(self):
        """What became of a signed list's release: held back, or committed."""
        staged = f"staged {len(self.staged)}, reused {len(self.reused)} staged by an earlier pass"
        if self.held:
            return f"{staged}; held the release back: nothing moved in, nothing removed"
        return (f"{staged}; committed the release: {self.installed.get('moved in', 0)} moved in, "
                f"{self.installed.get('removed', 0)} removed")

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
        for label, paths in (("staged", self.staged), ("reused", self.reused)):
            if self.held or self.installed:
                rows.append((label, f"{len(paths)}" + (": " + ", ".join(paths) if paths else "")))
        if self.installed:
            rows.append(("committed", f"{self.installed.get('moved in', 0)} moved in, "
                                      f"{self.installed.get('removed', 0)} removed"))
        elif self.held:
            rows.append(("held back", "nothing moved in or removed; the version record stays"))
        if self.deleted:
            rows.append(("deleted", f"{len(self.deleted)}: " + ", ".join(self.deleted)))
        return rows
