#!/usr/bin/env python3
"""Checks the export table of the launcher executable or of the library DLL against the
library's list of functions, that an import library lies beside it, and that an executable
asks to run at the invoker's own level."""
import argparse
import pathlib
import re
import subprocess
import sys

# Demangled standard types, shortened to how the list writes them.
SHORT = [
    ("std::__cxx11::basic_string<wchar_t, std::char_traits<wchar_t>, std::allocator<wchar_t> >", "std::wstring"),
    ("std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >", "std::string"),
    ("[abi:cxx11]", ""),
    ("std::basic_ifstream<char, std::char_traits<char> >", "std::ifstream"),
    ("std::basic_ofstream<char, std::char_traits<char> >", "std::ofstream"),
]


def exported_names(objdump, exe):
    out = subprocess.run([objdump, "-p", str(exe)], check=True, capture_output=True, text=True).stdout
    table = out.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) < 2:
        return []
    names = []
    for line in table[1].splitlines()[1:]:
        m = re.match(r"\s*\[\s*\d+\]\s+(\S+)", line)
        if not m:
            break
        names.append(m.group(1))
    return names


def demangle(cxxfilt, names):
    out = subprocess.run([cxxfilt], input="\n".join(names), check=True, capture_output=True, text=True).stdout
    result = []
    for name in out.splitlines():
        for long, short in SHORT:
            name = name.replace(long, short)
        name = re.sub(r"std::vector<([\w:]+), std::allocator<\1 ?> >", r"std::vector<\1>", name)
        result.append(name)
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--expected", required=True)
    parser.add_argument("exe")
    args = parser.parse_args()
    exe = pathlib.Path(args.exe)
    cxxfilt = args.objdump.replace("objdump", "c++filt")

    expected = [l.strip() for l in pathlib.Path(args.expected).read_text().splitlines()
                if l.strip() and not l.startswith("#")]
    actual = demangle(cxxfilt, exported_names(args.objdump, exe))
    failures = []
    for name in sorted(set(expected) - set(actual)):
        failures.append(f"not exported: {name}")
    for name in sorted(set(actual) - set(expected)):
        failures.append(f"exported but not in the list: {name}")

    if exe.suffix.lower() == ".exe" and b'level="asInvoker"' not in exe.read_bytes():
        failures.append("the manifest does not ask for the invoker's execution level")
    implib = list(exe.parent.glob("*" + exe.stem + "*.a"))
    if not implib:
        failures.append(f"no import library beside {exe.name}")

    for f in failures:
        print(f)
    print(f"{len(actual)} exports checked against {len(expected)} listed functions")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
