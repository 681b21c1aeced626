"""The subcommands that run the releases already on a site: promote, rollback, widen, halt and
status, each an argparse subcommand with its own --help."""
import argparse
import pathlib

import channels
import cli_options
import release_moves
import rollout
import signing_keys
import site_folder
import site_status
import list_signing

WHAT = {
    "promote": "serve exactly the release that one channel serves on another (no release folder is read)",
    "rollback": "serve an earlier release of a channel again, as a new serial",
    "widen": "give a staged rollout to more players: the same release and salt, a higher percentage",
    "halt": "stop a staged rollout: those not yet in stay out (a rollback takes back those in)",
    "status": "show each channel's version, serial, rollout, expiry, releases kept and bytes on the host",
}
COMMANDS = tuple(WHAT)


def parser():
    top = argparse.ArgumentParser(prog="tolvane-publish")
    commands = top.add_subparsers(dest="command", required=True)
    for name, text in WHAT.items():
        command = commands.add_parser(name, help=text, description=text[0].upper() + text[1:] + ".")
        command.add_argument("site", metavar="SITE", type=pathlib.Path)
        command.add_argument("--key", type=pathlib.Path, required=name != "status", metavar="PRIVATE.pem")
        command.add_argument("--key-passphrase-env", metavar="VAR")
        command.add_argument("--keep", metavar="N", help="releases of each channel the site keeps (default 5)")
        if name != "status":
            command.add_argument("--expires-days", metavar="N")
        if name == "promote":
            command.add_argument("--from", dest="source", required=True, metavar="CHANNEL")
            command.add_argument("--to", dest="target", required=True, metavar="CHANNEL")
        elif name != "status":
            command.add_argument("--channel", required=True, metavar="CHANNEL")
        if name == "rollback":
            command.add_argument("--to", dest="version", required=True, metavar="VERSION")
        if name in ("promote", "widen"):
            command.add_argument("--rollout", required=name == "widen", metavar="P", help="whole percentage, 1 to 100")
    return top


def run(args):
    keep = cli_options.whole_number("--keep", args.keep, site_folder.DEFAULT_KEEP, lowest=1)
    if args.command == "status":
        key = args.key and signing_keys.load_private_key(
            args.key, signing_keys.passphrase_from(args.key_passphrase_env))
        for line in site_status.lines(args.site, key and key.public_key(), keep):
            print(line)
        return 0
    sign = cli_options.signer(args.key, args.expires_days, None, args.key_passphrase_env)
    percent = rollout.percentage(args.rollout) if getattr(args, "rollout", None) is not None else None
    if args.command == "promote":
        source, target = channels.checked(args.source, "--from"), channels.checked(args.target, "--to")
        version, serial = release_moves.promote(args.site, source, target, sign, percent, keep)
        done, channel = f"promoted version {version} from {source} to {target}", target
    elif args.command == "rollback":
        channel = channels.checked(args.channel)
        serial = release_moves.rollback(args.site, channel, args.version, sign, keep)
        done = f"rolled channel {channel} back to version {args.version}"
    else:
        channel = channels.checked(args.channel)
        version, serial = release_moves.rerelease(args.site, channel, sign, args.command,
                                                   0 if args.command == "halt" else percent, keep)
        done = (f"halted the rollout of version {version} on {channel}" if args.command == "halt"
                else f"widened version {version} on {channel} to {percent} %")
    _, lines = site_folder.read_list(args.site, channel)
    fields = list_signing.serial_fields(lines)
    print(f"{done}: {cli_options.signed_text(serial, sign.expires, fields['product'], channel, rollout.read(lines))}")
    return 0
