#!/usr/bin/env python3
"""Mutation testing of xrdcalc: how many small faults does the test suite catch?

    python3 tools/mutate.py --list                  # the sample, nothing is built
    python3 tools/mutate.py --count 20 --seed 3     # build and test 20 mutants
    python3 tools/mutate.py --files 'driver/*' --which --jsonl run.jsonl
    python3 tools/mutate.py --only 12,40,41          # chosen mutants of the sample

A mutant is one single-line change to one C++ or Python source outside
tests/, bench/, examples/, tools/ and build directories: a relational or
arithmetic operator swapped, an integer literal moved by one, a floating
constant changed, an if/while condition negated, an expression statement
deleted (in Python: replaced by pass), or a returned value replaced by a
constant of the function's type (None in Python).  Mutants of a data
member's zero default ("double f1 = 0.0;") form a class of their own: such a
zero only keeps the member from holding an indeterminate value, and where
the member is set before it is read its mutants are equivalent, so the
report gives the score with and without that class.  A seeded sample of
mutants is spread over the files in proportion to their non-blank lines;
the same seed on the same sources gives the same sample.

The mutants are built and tested in a private copy of the repository (a
temporary directory, or --workdir, which is kept and reused by later runs);
the real sources are never written.  The copy is configured once, built and
tested unmutated, then each mutant is applied, built incrementally and the
suite run until its first failing test.  A mutant that does not build is left
out of the score; a test that times out counts as a kill.  A mutant whose
rebuilt object files are byte for byte the original's cannot behave
differently (trivial compiler equivalence): it is reported as equivalent and
not tested, and the score is given with and without such mutants; a Python
mutant whose syntax tree is the original's is equivalent likewise.

Python standard library only.
"""

import argparse
import ast
import bisect
import fnmatch
import hashlib
import io
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import tokenize
from dataclasses import dataclass, field

SOURCE_SUFFIXES = (".cpp", ".hpp", ".h", ".py")
# Folders that hold no sources of the program itself.
EXCLUDED_TOP = {"tests", "bench", "examples", "tools"}
# The class of mutants that the score is also given without.
ZERO_DEFAULT = "zero-default"
BUILD_DIR = "build-mutate"


# ---------------------------------------------------------------------------
# Finding the sources

def is_build_dir(path, name):
    return (name.startswith("build") or name.startswith(".") or name == "__pycache__"
            or os.path.exists(os.path.join(path, "CMakeCache.txt")))


def find_sources(root):
    """Relative paths of the program's C++ sources, sorted."""
    found = []
    for dirpath, dirnames, filenames in os.walk(root):
        rel_dir = os.path.relpath(dirpath, root)
        keep = []
        for d in dirnames:
            if rel_dir == "." and d in EXCLUDED_TOP:
                continue
            if is_build_dir(os.path.join(dirpath, d), d):
                continue
            keep.append(d)
        dirnames[:] = sorted(keep)
        for f in filenames:
            if f.endswith(SOURCE_SUFFIXES):
                found.append(os.path.normpath(os.path.join(rel_dir, f)))
    return sorted(found)


def nonblank_lines(text):
    return sum(1 for line in text.splitlines() if line.strip())


# ---------------------------------------------------------------------------
# Masking: a copy of the text in which comments, preprocessor lines and the
# insides of string and character literals cannot be mistaken for code.
# Comments and preprocessor lines become blanks, literal contents become '_';
# columns and line breaks are kept, so a position in the mask is the same
# position in the source.

RAW_PREFIXES = ("R", "u8R", "uR", "UR", "LR")


def mask_code(text):
    out = list(text)
    n = len(text)
    i = 0
    at_line_start = True  # only blanks so far on this line

    def blank(a, b, fill=" "):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = fill

    while i < n:
        c = text[i]
        if c == "\n":
            at_line_start = True
            i += 1
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if at_line_start and c == "#":
            # Preprocessor line, with its backslash continuations.
            j = i
            while True:
                e = text.find("\n", j)
                if e < 0:
                    e = n
                if e > 0 and text[e - 1] == "\\" and e < n:
                    j = e + 1
                    continue
                break
            blank(i, e)
            i = e
            continue
        at_line_start = False
        if text.startswith("//", i):
            e = text.find("\n", i)
            e = n if e < 0 else e
            blank(i, e)
            i = e
            continue
        if text.startswith("/*", i):
            e = text.find("*/", i + 2)
            e = n if e < 0 else e + 2
            blank(i, e)
            i = e
            continue
        if c == '"':
            word = re.search(r"[A-Za-z0-9_]*$", text[max(0, i - 3):i]).group(0)
            if any(word.endswith(p) for p in RAW_PREFIXES):
                m = re.compile(r'"([^()\\ \n]{0,16})\(').match(text, i)
                if m:
                    end_mark = ")" + m.group(1) + '"'
                    e = text.find(end_mark, m.end())
                    e = n if e < 0 else e + len(end_mark)
                    blank(i + 1, e - 1, "_")
                    i = e
                    continue
            j = i + 1
            while j < n and text[j] != '"' and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, min(j, n), "_")
            i = j + 1
            continue
        if c == "'":
            # A digit separator (1'000) sits inside a number.
            k = i - 1
            while k >= 0 and (text[k].isalnum() or text[k] in "_."):
                k -= 1
            if k + 1 < i and text[k + 1].isdigit():
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != "'" and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, min(j, n), "_")
            i = j + 1
            continue
        i += 1
    return "".join(out)


# ---------------------------------------------------------------------------
# Mutation sites

TOKEN_RE = re.compile(r"""
    (?P<ident>[A-Za-z_]\w*)
  | (?P<number>\.?\d(?:[eEpP][+-]|[\w.'])*)
  | (?P<op><=>|<<=|>>=|->\*|\.\*|<<|>>|<=|>=|==|!=|->|\+\+|--|\+=|-=|\*=|/=|%=|&=|\|=|\^=|&&|\|\||::|\S)
""", re.VERBOSE)

RELATIONAL = {"<": ["<=", ">="], "<=": ["<", ">"], ">": [">=", "<="], ">=": [">", "<"],
              "==": ["!="], "!=": ["=="]}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"],
              "+=": ["-="], "-=": ["+="], "*=": ["/="], "/=": ["*="]}

INT_RE = re.compile(r"^(0[xX][0-9a-fA-F]+|0|[1-9][0-9]*)([uUlL]*)$")
FLOAT_RE = re.compile(r"^(?=\d|\.\d)(\d*)(\.?)(\d*)([eE][+-]?\d+)?([fFlL]?)$")

KEYWORDS = set("""
    alignas alignof and asm auto bool break case catch char class const consteval constexpr
    constinit const_cast continue co_await co_return co_yield decltype default delete do double
    dynamic_cast else enum explicit export extern false float for friend goto if inline int long
    mutable namespace new noexcept not nullptr operator or private protected public register
    reinterpret_cast requires return short signed sizeof static static_assert static_cast struct
    switch template this thread_local throw true try typedef typeid typename union unsigned using
    virtual void volatile wchar_t while
""".split())


@dataclass
class Site:
    line: int          # 1-based
    col: int           # 0-based column of the changed text
    length: int        # length of the changed text
    operator: str      # kind of mutation
    alternatives: list  # replacement texts for [col, col+length)


@dataclass
class Mutant:
    file: str
    line: int
    col: int
    operator: str
    original: str      # the whole original line
    mutated: str       # the whole mutated line
    number: int = 0
    outcome: str = ""
    killers: list = field(default_factory=list)
    build_s: float = 0.0
    test_s: float = 0.0

    @property
    def key(self):
        return f"{self.file}:{self.line}:{self.col}:{self.operator}:{self.mutated.strip()}"


def tokens(masked_line):
    return [(m.lastgroup, m.group(), m.start()) for m in TOKEN_RE.finditer(masked_line)]


def matching_paren(s, i):
    """Index of the ')' closing the '(' at s[i], or -1 if not on this line."""
    depth = 0
    for k in range(i, len(s)):
        if s[k] == "(":
            depth += 1
        elif s[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def operator_sites(lineno, masked):
    sites = []
    toks = tokens(masked)
    for idx, (kind, text, col) in enumerate(toks):
        if kind != "op":
            continue
        before = masked[col - 1] if col > 0 else ""
        after = masked[col + len(text)] if col + len(text) < len(masked) else ""
        spaced = before in " \t" and after in " \t"
        prev = toks[idx - 1] if idx > 0 else None
        operand_before = prev is not None and (prev[0] in ("ident", "number") or prev[1] in (")", "]"))
        if prev is not None and prev[0] == "ident" and prev[1] in KEYWORDS - {"this", "true", "false", "nullptr"}:
            operand_before = False
        if text in RELATIONAL:
            # Bare < and > are relational only between blanks: template
            # brackets are written without them.
            if text in ("<", ">") and not (spaced and operand_before):
                continue
            sites.append(Site(lineno, col, len(text), "relational", RELATIONAL[text]))
        elif text in ARITHMETIC:
            if len(text) == 1 and not (spaced and operand_before):
                continue
            # On a line that handles string literals, + and += mostly join
            # strings, and - or -= on a string does not compile.
            if text in ("+", "+=") and ('"' in masked or masked[col + len(text):].lstrip().startswith("'")):
                continue
            sites.append(Site(lineno, col, len(text), "arithmetic", ARITHMETIC[text]))
    return sites


def number_alternatives(text):
    """Replacements of an integer literal (moved by one) or a floating one
    (scaled by 1.0001, or a digit changed); None for anything else."""
    m = INT_RE.match(text)
    if m:
        digits, suffix = m.groups()
        value = int(digits, 0)
        alternatives = []
        for delta in (1, -1):
            v = value + delta
            if v < 0:
                continue
            if digits[:2] in ("0x", "0X"):
                body = format(v, "X" if any(ch in "ABCDEF" for ch in digits[2:]) else "x")
                alternatives.append(digits[:2] + body.zfill(len(digits) - 2) + suffix)
            else:
                alternatives.append(str(v) + suffix)
        return "integer", alternatives
    m = FLOAT_RE.match(text)
    if not (m and (m.group(2) or m.group(4))):
        return None
    int_part, dot, frac, exponent, suffix = m.groups()
    exponent = exponent or ""
    value = float(int_part + dot + frac + exponent or "0")
    alternatives = []
    if value == 0.0:
        alternatives.append("1.0" + suffix)
    else:
        scaled = repr(value * 1.0001)
        if "." not in scaled and "e" not in scaled:
            scaled += ".0"
        alternatives.append(scaled + suffix)
        mantissa = int_part + dot + frac
        for k in range(len(mantissa) - 1, -1, -1):
            if mantissa[k] in "123456789":
                d = int(mantissa[k])
                new = str(d + 1) if d < 9 else "8"
                alternatives.append(mantissa[:k] + new + mantissa[k + 1:] + exponent + suffix)
                break
    alternatives = [a for a in alternatives if a != text]
    return ("float", alternatives) if alternatives else None


def literal_sites(lineno, masked):
    sites = []
    for kind, text, col in tokens(masked):
        if kind != "number":
            continue
        found = number_alternatives(text)
        if found:
            sites.append(Site(lineno, col, len(text), found[0], found[1]))
    return sites


DECLARATION_RE = re.compile(r"^\s*(const\s+)?[A-Za-z_][\w:<>,]*\s*[*&\s]\s*[A-Za-z_]\w*\s*(=(?!=)|\{)")


def condition_sites(lineno, masked):
    sites = []
    toks = tokens(masked)
    for idx, (kind, text, col) in enumerate(toks):
        if kind != "ident" or text not in ("if", "while"):
            continue
        k = idx + 1
        if k < len(toks) and toks[k][1] == "constexpr":
            k += 1
        if k >= len(toks) or toks[k][1] != "(":
            continue
        open_col = toks[k][2]
        close_col = matching_paren(masked, open_col)
        if close_col < 0:
            continue
        inner = masked[open_col + 1:close_col]
        # An init-statement stays as it is; only the condition after it flips.
        start = open_col + 1
        depth = 0
        for p, ch in enumerate(inner):
            if ch in "([{":
                depth += 1
            elif ch in ")]}":
                depth -= 1
            elif ch == ";" and depth == 0:
                start = open_col + 1 + p + 1
        cond = masked[start:close_col]
        if not cond.strip() or DECLARATION_RE.match(cond):
            continue
        lead = len(cond) - len(cond.lstrip())
        start += lead
        length = close_col - start
        sites.append(Site(lineno, start, length, "negate", [None]))  # filled in by apply
    return sites


def skip_balanced(s, i, open_ch, close_ch):
    depth = 0
    for k in range(i, len(s)):
        if s[k] == open_ch:
            depth += 1
        elif s[k] == close_ch:
            depth -= 1
            if depth == 0:
                return k + 1
    return -1


ASSIGN_RE = re.compile(r"^\s*(=(?!=)|\+=|-=|\*=|/=|%=|&=|\|=|\^=|<<=|>>=|\+\+|--)")
CONTROL_HEADER_RE = re.compile(r"^(\}\s*)?(else\s+)?(if|while|for)\s*(constexpr\s*)?\(.*\)$|^(\}\s*)?else$|^do$")


def is_expression_statement(code):
    """True for a whole statement on one line that only evaluates an
    expression: an assignment, an increment, a call or a throw."""
    if not code.endswith(";") or "{" in code or "}" in code:
        return False
    if code.count("(") != code.count(")") or code.count("[") != code.count("]"):
        return False
    if re.match(r"^(\+\+|--)\s*[A-Za-z_]", code) or re.match(r"^throw\b", code):
        return True
    m = re.match(r"[A-Za-z_]\w*", code)
    if not m or m.group(0) in KEYWORDS:
        return False
    i = m.end()
    last_was_call = False
    while i < len(code):
        rest = code[i:]
        stripped = rest.lstrip()
        i += len(rest) - len(stripped)
        if stripped.startswith(("(", "[")):
            close = skip_balanced(code, i, stripped[0], ")" if stripped[0] == "(" else "]")
            if close < 0:
                return False
            last_was_call = stripped[0] == "("
            i = close
            continue
        mm = re.match(r"(\.|->|::)\s*(~?[A-Za-z_]\w*)", stripped)
        if mm:
            last_was_call = False
            i += mm.end()
            continue
        break
    rest = code[i:].strip()
    if re.match(r"^=\s*(default|delete)\s*;$", rest):
        return False
    if rest == ";":
        return last_was_call
    return bool(ASSIGN_RE.match(rest))


def statement_sites(lines_masked):
    sites = []
    previous_code = ""
    for idx, masked in enumerate(lines_masked):
        code = masked.strip()
        if not code:
            continue
        if is_expression_statement(code) and "static_assert" not in code:
            end = previous_code[-1:] if previous_code else "{"
            if end in ";{}:":
                replacement = ""
            elif CONTROL_HEADER_RE.match(previous_code):
                replacement = ";"  # the statement is the body of an if, else or loop
            else:
                replacement = None  # continues the line before
            if replacement is not None:
                col = len(masked) - len(masked.lstrip())
                length = len(masked.rstrip()) - col
                sites.append(Site(idx + 1, col, length, "delete", [replacement]))
        previous_code = code
    return sites


# Return types, found from the header before the function body's opening brace.

SPECIFIERS_RE = re.compile(r"\b(constexpr|consteval|static|inline|virtual|explicit|friend|extern)\b|\[\[[^\]]*\]\]")
ARITHMETIC_TYPE_RE = re.compile(
    r"^(const\s+)?((unsigned|signed)\s+)?(long\s+long|long\s+double|int|long|short|double|float|char|unsigned|"
    r"(std::)?u?int(8|16|32|64)_t|(std::)?size_t|(std::)?ptrdiff_t)$")
LAMBDA_RE = re.compile(r"\[[^\[\]]*\]\s*(\([^()]*(\([^()]*\)[^()]*)*\))?\s*(mutable\s*)?(noexcept\s*)?(->\s*(?P<ret>.+?))?\s*$")


# "template <...>" before a declaration, nested brackets one level deep.
TEMPLATE_HEAD_RE = re.compile(r"^template\s*<[^<>]*(<[^<>]*>[^<>]*)*>\s*")


class BraceMap:
    """Opening braces of a masked file, and which are open at a position."""

    def __init__(self, masked):
        self.masked = masked
        self.pairs = []  # (open position, close position)
        stack = []
        for i, ch in enumerate(masked):
            if ch == "{":
                stack.append(i)
            elif ch == "}" and stack:
                self.pairs.append((stack.pop(), i))
        for o in stack:
            self.pairs.append((o, len(masked)))
        self.pairs.sort()

    def enclosing(self, pos):
        """Opening braces around pos, innermost first."""
        return sorted((o for o, c in self.pairs if o < pos < c), reverse=True)

    def header(self, brace):
        k = brace - 1
        depth = 0
        while k >= 0:
            ch = self.masked[k]
            if ch in ")]":
                depth += 1
            elif ch in "([":
                depth -= 1
            elif depth == 0 and ch in ";{}":
                break
            k -= 1
        return " ".join(self.masked[k + 1:brace].split())


def return_type(braces, pos):
    """The declared return type of the function or lambda around pos:
    a type text, 'auto' when deduced, or None when not found."""
    for brace in braces.enclosing(pos):
        header = braces.header(brace)
        header = re.sub(r"^(public|private|protected)\s*:\s*", "", header)
        if not header or re.match(r"^(if|else|for|while|do|switch|try|catch)\b", header) or header.endswith(("else", "do", "try")):
            continue
        if re.match(r"^(namespace|struct|class|enum|union|extern)\b", header):
            return None
        lam = LAMBDA_RE.search(header)
        if lam and "[[" not in header[lam.start():lam.start() + 2]:
            return lam.group("ret") or "auto"
        header = TEMPLATE_HEAD_RE.sub("", header)
        m = re.search(r"\)\s*(const\s*)?(noexcept\s*)?->\s*(.+?)\s*$", header)
        if m:
            return m.group(3)
        m = re.match(r"^(.*?)(operator\s*\S+?|~?[A-Za-z_][\w:]*)\s*\(", header)
        if not m:
            return None
        ret = SPECIFIERS_RE.sub(" ", m.group(1))
        ret = " ".join(ret.split())
        return ret or None
    return None


def return_alternatives(rtype, expr):
    expr = expr.strip()
    if rtype is None or rtype in ("auto", "decltype(auto)"):
        # Without a declared type only a literal's own type is known.
        if expr in ("true", "false"):
            return ["false" if expr == "true" else "true"]
        if INT_RE.match(expr):
            return ["1" if expr == "0" else "0"]
        return []
    if rtype == "void" or rtype.endswith("&") or rtype.endswith("&&"):
        return []
    if rtype in ("bool", "const bool"):
        return [v for v in ("false", "true") if v != expr]
    if ARITHMETIC_TYPE_RE.match(rtype):
        if re.fullmatch(r"0+(\.0*)?[uUlLfF]*", expr):
            return ["1"]
        return ["0"]
    if rtype.endswith("*"):
        return [] if expr == "nullptr" else ["nullptr"]
    if expr in ("{}", "std::nullopt"):
        return []
    return ["{}"]


def return_sites(lineno, masked, line_offset, braces):
    sites = []
    toks = tokens(masked)
    for idx, (kind, text, col) in enumerate(toks):
        if kind != "ident" or text != "return":
            continue
        start = col + len(text)
        depth = 0
        end = -1
        for k in range(start, len(masked)):
            ch = masked[k]
            if ch in "([{":
                depth += 1
            elif ch in ")]}":
                depth -= 1
                if depth < 0:
                    break
            elif ch == ";" and depth == 0:
                end = k
                break
        if end < 0:
            continue
        expr = masked[start:end]
        if not expr.strip():
            continue
        lead = len(expr) - len(expr.lstrip())
        alternatives = return_alternatives(return_type(braces, line_offset + col), expr)
        if alternatives:
            e0 = start + lead
            length = len(expr.rstrip()) - lead
            sites.append(Site(lineno, e0, length, "return", alternatives))
    return sites


# A data member's zero default ("double f1 = 0.0;", "int count{0};"): it only
# keeps the member from holding an indeterminate value.  Where the member is
# set before it is read, which is almost everywhere, a mutant of that zero is
# equivalent; where the zero starts a sum, the sum's own operators are mutated.
ZERO_MEMBER_DEFAULT_RE = re.compile(
    r"^\s*(mutable\s+)?(?!static\b|return\b|using\b)[A-Za-z_][\w:<>, ]*[\s*&]+[A-Za-z_]\w*(\[[^\]]*\])?\s*"
    r"(?P<init>=\s*(0|0\.0?|\{\s*\}|nullptr|false)|\{\s*(0|0\.0?|nullptr|false)?\s*\})\s*;")


def in_class_body(braces, pos):
    inner = braces.enclosing(pos)
    if not inner:
        return False
    header = TEMPLATE_HEAD_RE.sub("", braces.header(inner[0]))
    return re.match(r"^(struct|class|union)\b", header) is not None


def zero_member_default_start(masked_line, line_offset, braces):
    """The column where a data member's zero default starts, or None."""
    m = ZERO_MEMBER_DEFAULT_RE.match(masked_line)
    if not m or not in_class_body(braces, line_offset + m.start("init")):
        return None
    return m.start("init")


def find_sites(text):
    masked = mask_code(text)
    lines_masked = masked.split("\n")
    braces = BraceMap(masked)
    sites = []
    offset = 0
    for idx, m in enumerate(lines_masked):
        lineno = idx + 1
        if "static_assert" not in m:
            sites += operator_sites(lineno, m)
            zero_default = zero_member_default_start(m, offset, braces)
            for s in literal_sites(lineno, m):
                if zero_default is not None and s.col >= zero_default:
                    s.operator = ZERO_DEFAULT
                sites.append(s)
            sites += condition_sites(lineno, m)
            sites += return_sites(lineno, m, offset, braces)
        offset += len(m) + 1
    sites += statement_sites(lines_masked)
    sites.sort(key=lambda s: (s.line, s.col, s.operator))
    return sites


PY_KEYWORDS = {"and", "or", "not", "in", "is", "if", "else", "elif", "return", "lambda", "yield", "for", "while",
               "assert", "del", "import", "from", "as", "with", "raise", "await", "print"}
PY_ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "//": ["*"], "%": ["*"],
                 "+=": ["-="], "-=": ["+="], "*=": ["/="], "/=": ["*="]}


def python_operator_sites(text):
    """Relational and arithmetic operators between two operands, and number
    literals, from Python's own tokenizer (strings and comments are whole
    tokens, so nothing in them is taken for code)."""
    sites = []
    significant = [t for t in tokenize.generate_tokens(io.StringIO(text).readline)
                   if t.type not in (tokenize.COMMENT, tokenize.NL, tokenize.NEWLINE, tokenize.INDENT,
                                     tokenize.DEDENT, tokenize.ENDMARKER)]
    for i, t in enumerate(significant):
        (line, col), (end_line, _) = t.start, t.end
        if line != end_line:
            continue
        if t.type == tokenize.NUMBER:
            found = number_alternatives(t.string.replace("_", ""))
            if found and "_" not in t.string:
                sites.append(Site(line, col, len(t.string), found[0], found[1]))
            continue
        if t.type != tokenize.OP or i == 0:
            continue
        prev = significant[i - 1]
        binary = prev.string in (")", "]", "}") or (
            prev.type in (tokenize.NAME, tokenize.NUMBER, tokenize.STRING) and prev.string not in PY_KEYWORDS)
        if not binary:
            continue
        if t.string in RELATIONAL:
            sites.append(Site(line, col, len(t.string), "relational", RELATIONAL[t.string]))
        elif t.string in PY_ARITHMETIC:
            sites.append(Site(line, col, len(t.string), "arithmetic", PY_ARITHMETIC[t.string]))
    return sites


def python_sites(text):
    """The mutation sites of a Python source: operators and literals, if and
    while conditions negated, returned values replaced by None, and simple
    statements (calls and assignments on one line) replaced by pass."""
    sites = python_operator_sites(text)
    for node in ast.walk(ast.parse(text)):
        if isinstance(node, (ast.If, ast.While)) and node.test.lineno == node.test.end_lineno:
            t = node.test
            sites.append(Site(t.lineno, t.col_offset, t.end_col_offset - t.col_offset, "negate", [None]))
        elif (isinstance(node, ast.Return) and node.value is not None and node.value.lineno == node.value.end_lineno
              and not (isinstance(node.value, ast.Constant) and node.value.value is None)):
            v = node.value
            sites.append(Site(v.lineno, v.col_offset, v.end_col_offset - v.col_offset, "return", ["None"]))
        elif (isinstance(node, (ast.Assign, ast.AugAssign, ast.AnnAssign)) or
              (isinstance(node, ast.Expr) and isinstance(node.value, ast.Call))) and node.lineno == node.end_lineno:
            sites.append(Site(node.lineno, node.col_offset, node.end_col_offset - node.col_offset, "delete", ["pass"]))
    sites.sort(key=lambda s: (s.line, s.col, s.operator))
    return sites


def sites_of(rel, text):
    return python_sites(text) if rel.endswith(".py") else find_sites(text)


def apply_site(line, site, replacement, python=False):
    old = line[site.col:site.col + site.length]
    if site.operator == "negate":
        replacement = ("not (" if python else "!(") + old + ")"
    if site.operator == "delete" and replacement == "":
        return ""
    return line[:site.col] + replacement + line[site.col + site.length:]


# ---------------------------------------------------------------------------
# Sampling

def allocate(count, weights, capacities):
    """Split count over the files in proportion to weights, each at most its
    capacity (largest remainders first, ties by order)."""
    share = [0] * len(weights)
    remaining = count
    active = [i for i in range(len(weights)) if capacities[i] > 0]
    while remaining > 0 and active:
        total = sum(weights[i] for i in active) or len(active)
        exact = {i: remaining * (weights[i] or 1) / total for i in active}
        give = {i: min(int(exact[i]), capacities[i] - share[i]) for i in active}
        left = remaining - sum(give.values())
        for i in sorted(active, key=lambda i: (-(exact[i] - int(exact[i])), i)):
            if left == 0:
                break
            if share[i] + give[i] < capacities[i]:
                give[i] += 1
                left -= 1
        for i in active:
            share[i] += give[i]
        remaining = count - sum(share)
        active = [i for i in active if share[i] < capacities[i]]
        if sum(give.values()) == 0:
            break
    return share


def sample_mutants(root, files, count, seed):
    per_file = []
    for rel in files:
        with open(os.path.join(root, rel), encoding="utf-8", errors="surrogateescape") as f:
            text = f.read()
        per_file.append((rel, text, sites_of(rel, text)))
    weights = [nonblank_lines(text) for _, text, _ in per_file]
    shares = allocate(count, weights, [len(s) for _, _, s in per_file])
    mutants = []
    for (rel, text, sites), k in zip(per_file, shares):
        if k == 0:
            continue
        rng = random.Random(f"{seed}/{rel}")
        lines = text.split("\n")
        chosen = rng.sample(range(len(sites)), k)
        for i in sorted(chosen):
            site = sites[i]
            replacement = rng.choice(site.alternatives)
            original = lines[site.line - 1]
            mutants.append(Mutant(rel, site.line, site.col, site.operator, original,
                                  apply_site(original, site, replacement, rel.endswith(".py"))))
    mutants.sort(key=lambda m: (m.file, m.line, m.col))
    for n, m in enumerate(mutants, 1):
        m.number = n
    return mutants, {rel: (w, len(s)) for (rel, _, s), w in zip(per_file, weights)}


# ---------------------------------------------------------------------------
# The private copy

def copy_ignore(root):
    def ignore(directory, names):
        skipped = []
        for name in names:
            path = os.path.join(directory, name)
            if os.path.isdir(path) and not os.path.islink(path) and (
                    name in (".git", "__pycache__") or name.startswith("build")
                    or os.path.exists(os.path.join(path, "CMakeCache.txt"))):
                skipped.append(name)
        return skipped
    return ignore


def sync_tree(src, dst):
    """Make dst hold the files of src (no .git, no build directories), copying
    only what differs so that an earlier build there stays valid."""
    ignore = copy_ignore(src)
    wanted = set()
    for dirpath, dirnames, filenames in os.walk(src):
        skip = set(ignore(dirpath, dirnames))
        dirnames[:] = [d for d in dirnames if d not in skip]
        rel_dir = os.path.relpath(dirpath, src)
        target_dir = os.path.normpath(os.path.join(dst, rel_dir))
        os.makedirs(target_dir, exist_ok=True)
        wanted.add(os.path.normpath(rel_dir))
        for name in filenames + [d for d in dirnames if os.path.islink(os.path.join(dirpath, d))]:
            s = os.path.join(dirpath, name)
            t = os.path.join(target_dir, name)
            wanted.add(os.path.normpath(os.path.join(rel_dir, name)))
            if os.path.islink(s):
                if not os.path.islink(t) or os.readlink(t) != os.readlink(s):
                    if os.path.lexists(t):
                        os.remove(t)
                    os.symlink(os.readlink(s), t)
                continue
            if os.path.isfile(t) and not os.path.islink(t):
                with open(s, "rb") as a, open(t, "rb") as b:
                    if a.read() == b.read():
                        continue
            # A fresh time, not the source's: a file edited before the copy's
            # last build of it must still look newer than that build.
            shutil.copy(s, t)
    for dirpath, dirnames, filenames in os.walk(dst, topdown=True):
        rel_dir = os.path.relpath(dirpath, dst)
        if rel_dir == ".":
            dirnames[:] = [d for d in dirnames if d != BUILD_DIR]
        for name in filenames:
            rel = os.path.normpath(os.path.join(rel_dir, name))
            if rel not in wanted:
                os.remove(os.path.join(dirpath, name))


class Interrupted(Exception):
    pass


def run(cmd, cwd=None, timeout=None):
    """Runs cmd in its own process group; returns (status, output, seconds),
    status None on timeout."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out, time.monotonic() - start
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        out, _ = proc.communicate()
        return None, out, time.monotonic() - start
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        raise


TEST_LINE_RE = re.compile(r"Test\s+#\d+: (\S+) \.*\s*(?:\*+)?(Passed|Failed|Timeout|Exception: .*?|Not Run.*?|\w[\w ]*?)\s+[\d.]+ sec")
SUMMARY_LINE_RE = re.compile(r"^\s*\d+ - (\S+) \(([^)]*)\)\s*$")


def failing_tests(output):
    names = []
    for m in TEST_LINE_RE.finditer(output):
        if m.group(2) != "Passed" and m.group(1) not in names:
            names.append(m.group(1) + ("" if m.group(2) == "Failed" else f" ({m.group(2)})"))
    if not names:
        in_summary = False
        for line in output.splitlines():
            if line.startswith("The following tests FAILED"):
                in_summary = True
            elif in_summary:
                m = SUMMARY_LINE_RE.match(line)
                if m:
                    names.append(m.group(1))
    return names


class Runner:
    def __init__(self, args, repo):
        self.args = args
        self.repo = repo
        if args.workdir:
            self.work = os.path.abspath(args.workdir)
            self.temporary = False
        else:
            self.work = tempfile.mkdtemp(prefix="xrdcalc-mutate-")
            self.temporary = True
        self.src = os.path.join(self.work, "src")
        self.build = os.path.join(self.src, BUILD_DIR)
        self.stop_on_failure = "--stop-on-failure" in run(["ctest", "--help"])[1]

    def log(self, message):
        print(message, flush=True)

    def prepare(self):
        self.log(f"private copy: {self.src}")
        os.makedirs(self.src, exist_ok=True)
        sync_tree(self.repo, self.src)
        if not os.path.exists(os.path.join(self.build, "CMakeCache.txt")):
            cmd = ["cmake", "-S", self.src, "-B", self.build, f"-DCMAKE_BUILD_TYPE={self.args.build_type}",
                   "-DXRDCALC_TESTS=ON", "-DXRDCALC_SANITIZE=OFF", "-DXRDCALC_FUZZ=OFF", "-DXRDCALC_PYTHON=AUTO",
                   # Tests are listed when ctest runs, so that a mutant that
                   # breaks a test program's start counts as killed, not as
                   # a failed build.
                   "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"]
            if shutil.which("ninja"):
                cmd += ["-G", "Ninja"]
            status, out, _ = run(cmd)
            if status != 0:
                sys.exit("configuring the copy failed:\n" + out[-3000:])
        self.log(f"building the unmutated copy (-j {self.args.jobs}) ...")
        status, out, seconds = self.build_once()
        if status != 0:
            sys.exit("the unmutated copy does not build:\n" + out[-3000:])
        self.log(f"  built in {seconds:.1f} s")
        self.original_objects = self.object_hashes()
        status, out, seconds = run(self.ctest_cmd(stop=False), cwd=self.build)
        if status != 0:
            sys.exit("the test suite fails on the unmutated copy:\n" + out[-3000:])
        total = re.search(r"tests passed, 0 tests failed out of (\d+)", out)
        self.log(f"  {total.group(1) if total else '?'} tests pass in {seconds:.1f} s")
        self.suite_timeout = self.args.suite_timeout or max(60.0, 10 * seconds)

    def object_hashes(self, since=None):
        """SHA-256 of each object file of the build (those written since `since`)."""
        hashes = {}
        for dirpath, _, names in os.walk(self.build):
            for name in names:
                path = os.path.join(dirpath, name)
                if name.endswith(".o") and (since is None or os.stat(path).st_mtime >= since):
                    with open(path, "rb") as f:
                        hashes[path] = hashlib.sha256(f.read()).hexdigest()
        return hashes

    def build_once(self):
        return run(["cmake", "--build", self.build, "-j", str(self.args.jobs)],
                   timeout=self.args.build_timeout)

    def ctest_cmd(self, stop):
        cmd = ["ctest", "--timeout", str(self.args.timeout), "-j", str(self.args.jobs)]
        if stop and self.stop_on_failure:
            cmd.append("--stop-on-failure")
        return cmd

    def try_mutant(self, m):
        path = os.path.join(self.src, m.file)
        with open(path, "rb") as f:
            original = f.read()
        lines = original.decode("utf-8", "surrogateescape").split("\n")
        if lines[m.line - 1] != m.original:
            m.outcome = "stale"
            return
        lines[m.line - 1] = m.mutated
        mutated_text = "\n".join(lines)
        python = m.file.endswith(".py")
        if python:
            # A Python mutant must parse; one whose syntax tree is the
            # original's cannot behave differently.
            try:
                if ast.dump(ast.parse(mutated_text)) == ast.dump(ast.parse(original.decode("utf-8"))):
                    m.outcome = "equivalent"
                    return
            except SyntaxError:
                m.outcome = "no-compile"
                return
        try:
            written_at = time.time()
            with open(path, "wb") as f:
                f.write(mutated_text.encode("utf-8", "surrogateescape"))
            status, out, m.build_s = self.build_once()
            if status != 0:
                m.outcome = "no-compile" if status is not None else "build-timeout"
                return
            # Trivial compiler equivalence: a mutant whose object code is the
            # original's cannot behave differently; its tests are not run.
            rebuilt = self.object_hashes(since=written_at)
            if not python and all(self.original_objects.get(p) == h for p, h in rebuilt.items()):
                m.outcome = "equivalent"
                return
            status, out, m.test_s = run(self.ctest_cmd(stop=not self.args.which), cwd=self.build,
                                        timeout=self.suite_timeout)
            if status is None:
                m.outcome = "killed"
                m.killers = failing_tests(out) + [f"(suite over {self.suite_timeout:.0f} s)"]
            elif status != 0:
                m.outcome = "killed"
                m.killers = failing_tests(out) or ["(ctest: " + (out.strip().splitlines() or ["error"])[-1] + ")"]
            else:
                m.outcome = "survived"
        finally:
            with open(path, "wb") as f:
                f.write(original)

    def cleanup(self):
        if self.temporary and not self.args.keep:
            shutil.rmtree(self.work, ignore_errors=True)


# ---------------------------------------------------------------------------
# Reports

def killer_text(killers, limit):
    if len(killers) <= limit:
        return ", ".join(killers)
    return ", ".join(killers[:limit]) + f" and {len(killers) - limit} more"


def show(m):
    return f"{m.file}:{m.line}  [{m.operator}]\n    - {m.original.strip()}\n    + {m.mutated.strip() or '(deleted)'}"


def print_list(mutants, stats):
    by_file = {}
    for m in mutants:
        by_file[m.file] = by_file.get(m.file, 0) + 1
    print(f"{len(mutants)} mutants:")
    for rel, (lines, sites) in stats.items():
        print(f"  {rel:40s} {lines:5d} lines {sites:5d} sites {by_file.get(rel, 0):4d} sampled")
    for m in mutants:
        print(f"#{m.number} {show(m)}")


def print_report(mutants, which):
    done = [m for m in mutants if m.outcome]
    compiled = [m for m in done if m.outcome in ("killed", "survived", "equivalent")]
    files = sorted({m.file for m in done})
    print("\nscore per file (killed / compiled; equivalent: same object code as the original):")
    for rel in files:
        c = [m for m in compiled if m.file == rel]
        k = sum(m.outcome == "killed" for m in c)
        e = sum(m.outcome == "equivalent" for m in c)
        nc = sum(m.file == rel and m not in compiled for m in done)
        pct = f"{100 * k / len(c):5.1f}%" if c else "    -"
        print(f"  {rel:40s} {k:4d} / {len(c):<4d} {pct}   {e} equivalent, {nc} not compiled")
    killed = sum(m.outcome == "killed" for m in compiled)
    equivalent = sum(m.outcome == "equivalent" for m in compiled)
    not_compiled = len(done) - len(compiled)
    pct = f"{100 * killed / len(compiled):.1f}%" if compiled else "-"
    rest = len(compiled) - equivalent
    print(f"\noverall: {killed} / {len(compiled)} compiled mutants killed = {pct}; {not_compiled} of {len(done)} did "
          "not compile" + (f"; {len(mutants) - len(done)} not run" if len(done) < len(mutants) else ""))
    if equivalent:
        print(f"         {equivalent} build to the original's object code (or syntax tree); of the other {rest}, "
              f"{killed} killed = {100 * killed / rest:.1f}%" if rest else "")
    main_class = [m for m in compiled if m.operator != ZERO_DEFAULT]
    if len(main_class) < len(compiled):
        k = sum(m.outcome == "killed" for m in main_class)
        print(f"without the {ZERO_DEFAULT} class ({len(compiled) - len(main_class)} compiled mutants): {k} / "
              f"{len(main_class)} = {100 * k / len(main_class):.1f}%" if main_class else "")
    tested = [m for m in compiled if m.outcome != "equivalent"]
    if tested:
        b = sum(m.build_s for m in tested) / len(tested)
        t = sum(m.test_s for m in tested) / len(tested)
        print(f"mean time per tested mutant: build {b:.1f} s + tests {t:.1f} s")
    survivors = [m for m in compiled if m.outcome == "survived"]
    print(f"\nsurvivors ({len(survivors)}):")
    for m in survivors:
        print(f"#{m.number} {show(m)}")
    if which:
        print("\nkilled by:")
        for m in compiled:
            if m.outcome == "killed":
                print(f"#{m.number} {m.file}:{m.line} [{m.operator}]: {killer_text(m.killers, 6)}")


def write_jsonl(path, mutants):
    with open(path, "w", encoding="utf-8") as f:
        for m in mutants:
            f.write(json.dumps({"number": m.number, "file": m.file, "line": m.line, "col": m.col,
                                "operator": m.operator, "original": m.original, "mutated": m.mutated,
                                "outcome": m.outcome or "not-run", "killers": m.killers,
                                "build_s": round(m.build_s, 2), "test_s": round(m.test_s, 2)}) + "\n")


def compare(path, mutants):
    old = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            r = json.loads(line)
            key = f"{r['file']}:{r['line']}:{r['col']}:{r['operator']}:{r['mutated'].strip()}"
            old[key] = r["outcome"]
    changed = [(m, old[m.key]) for m in mutants if m.outcome and m.key in old and old[m.key] != m.outcome]
    common = sum(1 for m in mutants if m.outcome and m.key in old)
    print(f"\ncompared with {path}: {common} mutants in common, {len(changed)} changed outcome")
    for m, before in changed:
        print(f"#{m.number} {before} -> {m.outcome}: {show(m)}")


# ---------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=300, help="mutants to sample (default 300)")
    parser.add_argument("--seed", default="1", help="sample seed (default 1)")
    parser.add_argument("--files", action="append", metavar="PATTERN",
                        help="only sources matching this glob (or containing this text); repeatable")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--only", metavar="N,N,...",
                        help="run only these mutants of the sample (by number), e.g. the survivors of a run")
    parser.add_argument("--which", action="store_true",
                        help="run the whole suite for each mutant and report the tests that kill it")
    parser.add_argument("--jsonl", metavar="FILE", help="write one JSON line per mutant to FILE")
    parser.add_argument("--compare", metavar="FILE", help="report mutants whose outcome differs from an earlier --jsonl")
    parser.add_argument("--jobs", type=int, default=2, help="build and ctest parallelism (default 2)")
    parser.add_argument("--timeout", type=float, default=10, help="per-test time limit in s (default 10)")
    parser.add_argument("--suite-timeout", type=float, default=0,
                        help="limit for one suite run in s (default: 10 x the unmutated run, at least 60)")
    parser.add_argument("--build-timeout", type=float, default=900, help="limit for one build in s (default 900)")
    parser.add_argument("--build-type", default="Release", help="CMAKE_BUILD_TYPE of the copy (default Release)")
    parser.add_argument("--workdir", help="directory for the private copy, kept and reused (default: a temporary one)")
    parser.add_argument("--keep", action="store_true", help="keep the temporary copy")
    parser.add_argument("--repo", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        help="repository to mutate (default: the one holding this tool)")
    args = parser.parse_args()

    repo = os.path.abspath(args.repo)
    files = find_sources(repo)
    if args.workdir:
        work = os.path.abspath(args.workdir)
        files = [f for f in files if not os.path.abspath(os.path.join(repo, f)).startswith(work + os.sep)]
    if args.files:
        files = [f for f in files if any(
            fnmatch.fnmatch(f, p) or (not any(ch in p for ch in "*?[") and p in f) for p in args.files)]
    if not files:
        sys.exit("no sources to mutate")
    mutants, stats = sample_mutants(repo, files, args.count, args.seed)
    if args.only:
        wanted = {int(n) for n in args.only.replace(" ", "").split(",") if n}
        mutants = [m for m in mutants if m.number in wanted]
    if args.list:
        print_list(mutants, stats)
        return 0

    runner = Runner(args, repo)
    interrupted = False

    def on_term(signum, frame):
        raise KeyboardInterrupt

    signal.signal(signal.SIGTERM, on_term)
    try:
        runner.prepare()
        start = time.monotonic()
        for m in mutants:
            runner.try_mutant(m)
            extra = f" ({killer_text(m.killers, 2)})" if m.killers else ""
            print(f"[{m.number}/{len(mutants)} {time.monotonic() - start:6.0f} s] {m.outcome:13s} "
                  f"{m.file}:{m.line} [{m.operator}] build {m.build_s:.1f} s tests {m.test_s:.1f} s{extra}",
                  flush=True)
    except KeyboardInterrupt:
        interrupted = True
        print("\ninterrupted: the mutated file is restored; results so far:", flush=True)
    finally:
        runner.cleanup()
    print_report(mutants, args.which)
    if args.jsonl:
        write_jsonl(args.jsonl, mutants)
    if args.compare:
        compare(args.compare, mutants)
    return 130 if interrupted else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except BrokenPipeError:  # output piped into head and the like
        sys.stderr.close()
        sys.exit(0)
