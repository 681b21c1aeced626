"""The site's upload folder brought to a release before its list goes on: the files that differ
are first written whole into a stage folder beside it, so that a failure there (a full disk, a
file that cannot be read) leaves the site as it was; then each is moved in, clearing a file that
stands where the release has a folder and a folder where it has a file, and what the release no
longer has goes. No link in the site is ever followed: the host may have planted it."""
import os
import pathlib
import shutil
import stat

import durable_file
import publication
from name_rules import TEMPORARY_ENDING
from publication import Refused


def is_real(path, kind):
    """True when path is a folder (kind stat.S_ISDIR) or file (stat.S_ISREG), not a link."""
    try:
        return kind(os.lstat(path).st_mode)
    except FileNotFoundError:
        return False


def holds(upload, parts, content):
    """True when the upload folder holds the file, through real folders, with that content."""
    folders = [upload.joinpath(*parts[:end]) for end in range(len(parts))]
    target = upload.joinpath(*parts)
    if not all(is_real(folder, stat.S_ISDIR) for folder in folders) or not is_real(target, stat.S_ISREG):
        return False
    return target.stat().st_size == content["size"] and durable_file.hash_of(target) == content["sha256"]


def remove(path):
    if is_real(path, stat.S_ISDIR):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        path.unlink()


def real_folder(base, parts):
    """base joined with parts, each level made a real folder (a file or link there removed)."""
    folder = base
    for part in parts:
        folder = folder / part
        if not is_real(folder, stat.S_ISDIR):
            remove(folder)  # a file of the previous release, or a link
            folder.mkdir()
    return folder


def make_way(upload, parts):
    """The target of a file's parts, with real folders above it and nothing under its name."""
    target = real_folder(upload, parts[:-1]) / parts[-1]
    remove(target)
    return target


def copied_from(source, target):
    """Copies one source into target and returns the SHA-256 of what it wrote: a file, or a
    function that writes target itself (a file built from chunks)."""
    return source(target) if callable(source) else durable_file.copy_synced(source, target)


def stage_changes(stage, changed, contents, sources):
    """Copies each changed file into the stage folder, checked against the hash it was published
    with (the release may change meanwhile); on any failure the stage goes. A source may be a
    list of copies to try in turn (the site's own copies, which the host may have changed): the
    first whose bytes hash as the list pins is taken."""
    remove(stage)  # left by a publication that was stopped
    stage.mkdir(parents=True)
    for number, path in enumerate(changed):
        tried = sources[path] if isinstance(sources[path], list) else None
        for source in tried or [sources[path]]:
            try:
                if copied_from(source, stage / str(number)) == contents[path]["sha256"]:
                    break
            except OSError as error:
                if tried is None:
                    remove(stage)
                    raise Refused(f"{sources[path]}: cannot be copied into the site ({error.strerror}); the site "
                                  "is as it was") from None
        else:
            remove(stage)
            raise Refused(f"no copy of {path!r} on the site holds the bytes its list pins; the site is as it was"
                          if tried is not None else
                          f"{sources[path]}: changed while it was published; the site is as it was")


def sweep(upload, contents):
    """Removes what the release does not have (links included, never followed) and emptied folders."""
    for root, folders, names in os.walk(upload, topdown=False):
        for name in names + folders:
            path = pathlib.Path(root) / name
            relative = publication.relative_name(path.relative_to(upload).parts)
            if is_real(path, stat.S_ISDIR):
                if not any(path.iterdir()):
                    path.rmdir()
            elif relative not in contents and relative != publication.LIST_NAME:
                path.unlink()


def stage_folder(site, folder=publication.UPLOAD_FOLDER):
    """The stage of an upload folder ("/" between levels): at the site's top, where no link of a
    channel's folders can lead it out of the site."""
    return site / (folder.replace("/", ".") + TEMPORARY_ENDING)


def stage(site, contents, sources, folder=publication.UPLOAD_FOLDER):
    """Stages what the site's upload folder lacks of the release ({list path: content}, {list
    path: source file, or [files to try]}) and returns those paths, for move_in(); the site
    itself is not changed."""
    levels = folder.split("/")
    upload = site.joinpath(*levels)
    # A link above the upload folder (planted by the host) leads out of the site: nothing there counts.
    inside = all(is_real(site.joinpath(*levels[:end]), stat.S_ISDIR) for end in range(1, len(levels)))
    changed = [path for path in sorted(sources) if not (inside and holds(upload, path.split("\\"), contents[path]))]
    stage_changes(stage_folder(site, folder), changed, contents, sources)
    return changed


def move_in(site, contents, changed, folder=publication.UPLOAD_FOLDER):
    """Brings the site's upload folder to the release: the staged files moved in, the rest swept."""
    upload, stage = real_folder(site, folder.split("/")), stage_folder(site, folder)
    for number, path in enumerate(changed):
        durable_file.replace_durably(stage / str(number), make_way(upload, path.split("\\")))
    stage.rmdir()
    sweep(upload, contents)
