"""Who takes a staged rollout, as the launcher decides it (tests/update/rollout_table.txt holds
the rows both ends are checked against): a player is in when the first 4 bytes of SHA-256 of
"SALT:ID", as a big-endian number, times 100 fall below the percentage times 2^32."""
import hashlib
import itertools


def in_rollout(install_id, salt, percent):
    share = int.from_bytes(hashlib.sha256(f"{salt}:{install_id}".encode("ascii")).digest()[:4], "big")
    return share * 100 < percent << 32


def install_id_for(salt, percent, inside):
    """The first install id (32 lowercase hex) that the rollout takes in, or leaves out."""
    for n in itertools.count():
        candidate = hashlib.sha256(b"install %d" % n).hexdigest()[:32]
        if in_rollout(candidate, salt, percent) == inside:
            return candidate
