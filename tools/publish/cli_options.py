"""Options that every form of tolvane-publish reads alike: the signing key and its expiry, whole
numbers, channels and rollouts, and how a signed list is reported."""
import datetime
import sys

import channels
import list_signing
import rollout
import signing_keys
import site_trust
from publication import Refused

DEFAULT_EXPIRES_DAYS = 90


def signer(key_path, expires_days, product, passphrase_env, new_site=False, channel=channels.STABLE):
    """The site_trust.Signer of a publication or renewal; None without a key."""
    if key_path is None:
        return None
    days = expires_days if expires_days is not None else str(DEFAULT_EXPIRES_DAYS)
    if not (days.isascii() and days.isdigit()):
        raise Refused("--expires-days takes a whole number of days, or 0 for a list that never expires")
    if int(days) == 0:
        say("warning: --expires-days 0: the list never expires, so a host that withholds newer lists can keep "
            "players on this release for ever")
    if product is not None and not list_signing.PRODUCT.fullmatch(product):
        raise Refused(f"--product {product!r}: a product name holds letters, digits, '-', '.' and '_' only")
    try:
        expires = list_signing.expiry(int(days) or None, datetime.datetime.now(datetime.timezone.utc))
    except OverflowError:
        raise Refused(f"--expires-days {days} reaches past the year 9999")
    key = signing_keys.load_private_key(key_path, signing_keys.passphrase_from(passphrase_env))
    return site_trust.Signer(key, key_path, expires, product, new_site, channel)


def whole_number(option, text, default, lowest=0):
    if text is None:
        return default
    if not (text.isascii() and text.isdigit()):
        raise Refused(f"{option} {text!r}: takes a whole number")
    if int(text) < lowest:
        raise Refused(f"{option} {text}: the site keeps at least the release just served; give {lowest} or more")
    return int(text)


def channel_and_rollout(channel, percent, signed):
    """The canonical channel and the whole percentage (None when not given), refused unless the
    list is signed: only the signature binds a list to its channel and rollout."""
    channel = channels.checked(channel if channel is not None else channels.STABLE)
    percent = rollout.percentage(percent) if percent is not None else None
    if not signed and (channel != channels.STABLE or percent is not None):
        raise Refused("--channel (other than stable) and --rollout need --key: a launcher takes a channel and a "
                      "rollout only from a signed list")
    return channel, percent


def signed_text(serial, expires, product, channel=channels.STABLE, release=None):
    return (f"list signed with serial {serial}" + (f" for product {product}" if product else "")
            + (f" on channel {channel}" if channel != channels.STABLE else "")
            + (f", rollout {rollout.text(release)}" if release else "")
            + (f", expires {expires:%Y-%m-%dT%H:%M:%SZ}" if expires else ", never expires"))


def say(message):
    """One line on stderr, whatever the message holds (a name may hold a line end)."""
    escaped = "".join(c if c.isprintable() else repr(c)[1:-1] for c in str(message))
    print(f"tolvane-publish: {escaped}", file=sys.stderr)
