#!/usr/bin/env python3
"""The README's error-log table against the sources: every text that the launcher (its engine and
the library it exports) can write to errors.err, and every reason a download line can give, must
have a row there. The texts are read from every C++ file under src/, however it is laid out; a
text's constant part before its first variable part must begin some entry of the README's tables
in "Files the launcher writes".
usage: error_table_test.py [SOURCE_TOP]"""
import pathlib
import re
import sys
import unittest

TOP = pathlib.Path(sys.argv.pop(1) if len(sys.argv) > 1 else pathlib.Path(__file__).parents[2])

LITERAL = r'L"(?:[^"\\]|\\.)*"'
STRING = re.compile(r'"(?:[^"\\]|\\.)*"')
COMMENT = re.compile(r'//[^\n]*|/\*.*?\*/|("(?:[^"\\\n]|\\.)*")', re.S)
CONSTANT = re.compile(r'\bwchar_t\s+(\w+)\[\]\s*=\s*((?:%s\s*)+);' % LITERAL)
FUNCTION = re.compile(r'\b(\w+)\([^;{}()]*\)\s*(?:const\s*)?\{')


def unquote(literals):
    """The text of adjacent wide literals."""
    return "".join(bytes(p[2:-1], "ascii").decode("unicode_escape") for p in re.findall(LITERAL, literals))


def balanced(text, start):
    """The index just past the bracket that closes the one at text[start]."""
    depth, i = 0, start
    while i < len(text):
        if text[i] == '"':
            i = STRING.match(text, i).end()
            continue
        depth += {"(": 1, "{": 1, ")": -1, "}": -1}.get(text[i], 0)
        i += 1
        if depth == 0:
            return i
    return i


def terms(expression):
    """The top-level terms of a + chain."""
    found, depth, start = [], 0, 0
    for token in re.finditer(LITERAL + r"|[()+]", expression):
        depth += {"(": 1, ")": -1}.get(token.group(), 0)
        if token.group() == "+" and depth == 0:
            found.append(expression[start:token.start()].strip())
            start = token.end()
    return found + [expression[start:].strip()]


class Sources:
    def __init__(self, top):
        self.constants, self.returns, self.calls, self.download = {}, {}, [], set()
        for path in sorted(top.rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            text = COMMENT.sub(lambda m: m.group(1) or " ", path.read_text(encoding="utf-8", errors="replace"))
            for name, literals in CONSTANT.findall(text):
                self.constants[name] = unquote(literals)
            for match in FUNCTION.finditer(text):
                body = text[match.end() - 1:balanced(text, match.end() - 1)]
                returns = re.findall(r'\breturn\s+([^;]+);', body)
                self.returns.setdefault(match.group(1), []).extend(returns)
                if 'L"download error' in body:
                    self.download.update(returns)
            for match in re.finditer(r'\b(?:LogFailure|WriteError)\(', text):
                self.calls.append(text[match.end():balanced(text, match.end() - 1) - 1])
            self.download.update(re.findall(r'(L"download error[^;]*);', text))

    def prefixes(self, expression, seen=()):
        """The constant beginnings an expression's text can have ("" for none)."""
        text = ""
        for term in terms(expression):
            wrapped = re.fullmatch(r'std::wstring\((.*)\)', term, re.S)
            term = wrapped.group(1).strip() if wrapped else term
            call = re.fullmatch(r'(\w+)\(.*\)', term, re.S)
            if re.fullmatch(r'(?:%s\s*)+' % LITERAL, term):
                text += unquote(term)
            elif term in self.constants:
                text += self.constants[term]
            elif call and call.group(1) in self.returns and call.group(1) not in seen:
                return {text + p for r in self.returns[call.group(1)]
                        for p in self.prefixes(r, seen + (call.group(1),))}
            else:
                break
        return {text}

    def texts(self, expressions):
        return {p for e in expressions for p in self.prefixes(e) if p.strip()}


def readme_entries(readme):
    section = readme.split("\n## Files the launcher writes\n", 1)[1].split("\n## ", 1)[0]
    rows = [line.split("|")[1] for line in section.splitlines() if line.startswith("|")]
    return [entry for row in rows for entry in re.findall(r"`([^`]+)`", row)]


class ErrorTable(unittest.TestCase):
    def test_every_text_the_launcher_logs_has_a_row(self):
        sources = Sources(TOP / "src")
        lines, reasons = sources.texts(sources.calls), sources.texts(sources.download)
        # The scan itself must see the lines it is meant to: a few of each kind.
        for known in ("Not Connection server... ", "error : Update pass stopped",
                      "error : The update list is not signed by the studio", "No find file:"):
            self.assertIn(known, lines)
        for known in ("URL is invalid", "download error: cannot replace the file (error "):
            self.assertIn(known, reasons)
        entries = readme_entries((TOP / "README.md").read_text(encoding="utf-8"))
        missing = sorted(t for t in lines | reasons if not any(e.startswith(t) for e in entries))
        self.maxDiff = None
        self.assertEqual(missing, [], "texts without a row in README.md's error tables")


if __name__ == "__main__":
    unittest.main()
