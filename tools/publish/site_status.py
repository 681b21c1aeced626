"""What `tolvane-publish status SITE` shows a studio: for each channel on the site, what its list
says (version, serial, rollout, expiry), how many releases the site keeps for it and the bytes
it holds on the host. Without a key the lists are shown as they are, marked unverified; with one,
a list that does not verify says so."""
import channels
import chunk_store
import list_signing
import publication
import release_history
import release_store
import rollout
import site_folder
from publication import Refused


def channel_line(site, channel, public_key, history, keep):
    data, lines = site_folder.read_list(site, channel)
    if not data:
        return f"{channel}: no list"
    try:
        fields, own = list_signing.serial_fields(lines), list_signing.without_signing(lines)
        version, release = publication.version_of(own), rollout.read(lines)
    except Refused as refusal:
        return f"{channel}: a list this tool cannot read ({refusal})"
    trust = ("unverified: no --key given" if public_key is None else "verified" if list_signing.verifies(
        data, public_key) else "DOES NOT VERIFY with the key: changed on the host, or not this key's")
    if fields is None:
        return f"{channel}: version {version!r}, unsigned"
    kept = release_history.versions_kept(history, channel, keep)
    return (f"{channel}: version {version!r}, serial {fields['serial']}, rollout {rollout.text(release)}, "
            f"expires {fields['expires'] or 'never'}, {len(kept)} releases kept"
            + (f" ({', '.join(map(repr, kept))})" if kept else "")
            + f", {release_store.bytes_under(channels.folder(site, channel))} bytes on the host ({trust})")


def lines(site, public_key=None, keep=site_folder.DEFAULT_KEEP):
    """The status lines of the site: one per channel, then the stores every channel shares."""
    history = release_history.read(site)
    shown = [channel_line(site, channel, public_key, history, keep) for channel in channels.present(site)]
    shared = {name: release_store.bytes_under(site / name) for name in (chunk_store.FOLDER, release_store.FOLDER)}
    return (shown or ["no channel: nothing is published here"]) + [
        "shared: " + ", ".join(f"{name} {size} bytes" for name, size in shared.items())]
