"""What a studio does with releases already on the site: promote one channel's release into
another, roll a channel back to an earlier release, widen or halt a staged rollout. Each signs a
new list under the next serial, and takes its lines only from a list that verifies with the key:
the channel's own, or one kept as it was signed (release_history.py). No release folder is read:
a channel's folder is filled from the site's copies, each checked against the list's SHA-256."""
import channels
import list_signing
import publication
import release_history
import release_store
import rollout
import site_folder
import site_landing
import site_trust
from publication import Refused


def served(site, channel, signer):
    """(serial fields, own lines, (percentage, salt) or None) of the channel's verified list."""
    data, lines = site_folder.read_list(site, channel)
    if not data:
        raise Refused(f"channel {channel} has no list on the site ({channels.list_path(site, channel)}); publish "
                      "to it first")
    signer = signer._replace(channel=channel)
    what = "Publish a release to the channel again."
    fields = site_trust.verified(site, data, lines, signer, what)
    site_trust.bound(site, fields, signer._replace(product=fields["product"]), what)
    return fields, list_signing.without_signing(lines), rollout.read(lines)


def files_of(own):
    files = publication.read_lines(own)["files"]
    return {path: {"sha256": e["sha256"], "size": e["size"]} for path, e in files.items()}


def serve(site, channel, signer, contents, version, kind, pieces, keep, release=None, folders=()):
    """Signs the release ({path: content}, version) for the channel against its current list, with
    its files staged from the site's verified copies before the serial is taken, and lands it.
    Returns (serial, lines)."""
    data, lines = site_folder.read_list(site, channel)
    baseline, site_serial = site_trust.baseline(site, data, lines, signer)
    _, lines, _ = publication.plan(contents, version, baseline)
    publication.list_bytes(lines)  # refused here, before anything is staged
    sources = release_store.copies(site, contents, [channels.folder_name(channel), *folders])
    staged, _ = site_landing.stage(site, channel, contents, sources)
    try:
        data, serial = site_folder.sign(lines, signer, site_serial, release)
    except BaseException:
        site_landing.discard(site, channel)
        raise
    history = release_history.read(site)
    site_landing.land(site, channel, staged, data, history,
                      release_history.entry(channel, kind, version, serial, pieces), keep)
    return serial, lines


def promote(site, source, target, signer, percent, keep):
    """Serves exactly the release that source serves (its files and version) on target, to
    percent of the players when given below 100. Returns (version, serial)."""
    if source == target:
        raise Refused(f"--from and --to name one channel, {source}")
    fields, own, _ = served(site, source, signer)
    signer = signer._replace(channel=target, product=fields["product"], new_site=False)
    version = publication.version_of(own)
    release = (percent, rollout.new_salt()) if percent is not None and percent < 100 else None
    pieces = release_history.pieces_for(release_history.read(site), source, version)
    serial, _ = serve(site, target, signer, files_of(own), version, "promote", pieces, keep, release,
                      [channels.folder_name(source)])
    return version, serial


def rollback(site, channel, version, signer, keep):
    """Serves the channel's earlier release of that version again, from its kept signed list, as
    a new serial; "{d}" lines remove what the later release added. Returns the serial."""
    fields, own, _ = served(site, channel, signer)
    signer = signer._replace(channel=channel, product=fields["product"], new_site=False)
    if publication.version_of(own) == version:
        raise Refused(f"channel {channel} serves version {version!r} already")
    history = release_history.read(site)
    kept = release_history.versions_kept(history, channel, keep)
    if version not in kept:
        raise Refused(f"version {version!r} of channel {channel} is not kept on the site, so its files may be gone; "
                      f"kept: {', '.join(repr(v) for v in kept) or 'none'}")
    serial = [e["serial"] for e in history if (e["channel"], e["version"]) == (channel, version) and e["serial"]][-1]
    path = release_history.kept_list_path(site, channel, serial)
    data = path.read_bytes() if path.is_file() and not path.is_symlink() else b""
    lines = data.decode("ascii", "replace").split("\r\n")[:-1]
    what = "It cannot be served again."
    if not list_signing.verifies(data, signer.key.public_key()):
        raise Refused(f"{path}, the kept list of version {version!r}, does not verify with the key. {what}")
    kept_fields, earlier = list_signing.serial_fields(lines), list_signing.without_signing(lines)
    if kept_fields is None or publication.version_of(earlier) != version:
        raise Refused(f"{path} is not the list of version {version!r}. {what}")
    site_trust.bound(site, kept_fields, signer, what)
    return serve(site, channel, signer, files_of(earlier), version, "rollback",
                 release_history.pieces_for(history, channel, version), keep)[0]


def rerelease(site, channel, signer, kind, percent, keep):
    """The channel's list signed again with its release line at percent (widen, halt). Returns
    (version, serial)."""
    fields, own, release = served(site, channel, signer)
    signer = signer._replace(channel=channel, product=fields["product"])
    if kind == "widen" and release is None:
        raise Refused(f"channel {channel} serves its release whole; there is no rollout to widen")
    if kind == "widen" and percent <= release[0]:
        raise Refused(f"--rollout {percent}: channel {channel} serves its release to {release[0]} % already; "
                      "a rollout only widens (halt stops it, rollback takes it back)")
    if kind == "halt" and release is not None and release[0] == 0:
        raise Refused(f"the rollout of channel {channel} is halted already")
    salt = release[1] if release else rollout.new_salt()  # halting a whole release: nobody new comes in
    data, serial = site_folder.sign(own, signer, fields["serial"], (percent, salt))
    history = release_history.read(site)
    version = publication.version_of(own)
    site_landing.land(site, channel, None, data, history,
                      release_history.entry(channel, kind, version, serial,
                                            release_history.pieces_for(history, channel, version)), keep)
    return version, serial
