#!/usr/bin/env python3
# Usage: check_exports.py OBJDUMP LIST MODULE
# Checks the module's export table against the list of functions, that an import library lies
# beside it, and that an executable asks to run at the invoker's own level.
import pathlib
import re
import subprocess
import sys

# Demangled standard types, shortened to how the list writes them (in this order).
SHORT = [(r"std::__cxx11::basic_string<wchar_t, [^>]*>, [^>]*> >", "std::wstring"),
         (r"std::__cxx11::basic_string<char, [^>]*>, [^>]*> >", "std::string"),
         (r"std::basic_([io])fstream<char, [^>]*> >", r"std::\1fstream"),
         (r"std::vector<([\w:]+), std::allocator<\1 ?> >", r"std::vector<\1>"), (r"\[abi:cxx11\]", "")]

objdump, listed, module = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
dump = subprocess.run([objdump, "-p", module], check=True, capture_output=True, text=True).stdout
mangled = re.findall(r"^\s*\[\s*\d+\] (\S+)$", dump.partition("[Ordinal/Name Pointer] Table")[2], re.M)
actual = subprocess.run([objdump.replace("objdump", "c++filt")], input="\n".join(mangled), check=True,
                        capture_output=True, text=True).stdout
for pattern, short in SHORT:
    actual = re.sub(pattern, short, actual)
actual = set(actual.splitlines())
expected = {line.strip() for line in listed.read_text().splitlines() if line.strip() and line[0] != "#"}

failures = [f"not exported: {n}" for n in sorted(expected - actual)]
failures += [f"exported but not in the list: {n}" for n in sorted(actual - expected)]
if module.suffix.lower() == ".exe" and b'level="asInvoker"' not in module.read_bytes():
    failures.append("the manifest does not ask for the invoker's execution level")
if not list(module.parent.glob(f"*{module.stem}*.a")):
    failures.append(f"no import library beside {module.name}")
print("\n".join(failures + [f"{len(actual)} exports checked against {len(expected)} listed"]))
sys.exit(1 if failures else 0)
