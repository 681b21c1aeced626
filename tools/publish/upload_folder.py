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


def make_way(upload, parts):
    """The target of a file's parts, with real folders above it and nothing under its name."""
    folder = upload
    for part in parts[:-1]:
        folder = folder / part
        if not is_real(folder, stat.S_ISDIR):
            remove(folder)  # a file of the previous release, or a link
            folder.mkdir()
    remove(folder / parts[-1])
    return folder / parts[-1]


def stage_changes(stage, changed, contents, sources):
    """Copies each changed file into the stage folder, checked against the hash it was published
    with (the release may change meanwhile); on any failure the stage goes."""
    remove(stage)  # left by a publication that was stopped
    stage.mkdir(parents=True)
    for number, path in enumerate(changed):
        try:
            copied = durable_file.copy_synced(sources[path], stage / str(number))
        except OSError as error:
            remove(stage)
            raise Refused(f"{sources[path]}: cannot be copied into the site ({error.strerror}); the site "
                          "is as it was") from None
        if copied != contents[path]["sha256"]:
            remove(stage)
            raise Refused(f"{sources[path]}: changed while it was published; the site is as it was")


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


def stage_folder(site):
    return site / (publication.UPLOAD_FOLDER + TEMPORARY_ENDING)


def stage(site, contents, sources):
    """Stages what site/AppGameUpload lacks of the release ({list path: content}, {list path:
    source file}) and returns those paths, for move_in(); the site itself is not changed."""
    upload = site / publication.UPLOAD_FOLDER
    changed = [path for path in sorted(sources) if not holds(upload, path.split("\\"), contents[path])]
    stage_changes(stage_folder(site), changed, contents, sources)
    return changed


def move_in(site, contents, changed):
    """Brings site/AppGameUpload to the release: the staged files moved in, the rest swept."""
    upload, stage = site / publication.UPLOAD_FOLDER, stage_folder(site)
    if not is_real(upload, stat.S_ISDIR):
        remove(upload)
        upload.mkdir()
    for number, path in enumerate(changed):
        durable_file.replace_durably(stage / str(number), make_way(upload, path.split("\\")))
    stage.rmdir()
    sweep(upload, contents)
