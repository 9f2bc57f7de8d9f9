#!/usr/bin/env python3
"""Copies C++ sources with every non-ASCII character of their narrow string and character
literals written as octal escapes of its code page 936 bytes.

clang accepts no execution character set other than UTF-8, so it cannot take
-fexec-charset=GBK; compiling the copies gives the literal bytes the GBK-configured g++ build
gives. The bytes come from glibc's iconv, the converter g++ itself uses. Quoted includes are
followed and copied too, so that every header resolves to its copy. Files are rewritten only
when their content changes, which keeps incremental builds incremental.

usage: cp936_literals.py SOURCE_ROOT OUTPUT_ROOT RELATIVE_PATH...
"""
import os
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def cp936_bytes(chars):
    """Maps each character to its code page 936 bytes, in one iconv call."""
    unique = sorted(set(chars))
    if not unique:
        return {}
    # One character a line: a conversion failure names the file instead of mixing bytes up.
    text = "\n".join(unique).encode("utf-8")
    result = subprocess.run(["iconv", "-f", "UTF-8", "-t", "GBK"], input=text,
                            capture_output=True, check=True)
    encoded = result.stdout.split(b"\n")
    if len(encoded) != len(unique):
        raise SystemExit("cp936_literals: iconv output does not line up")
    return dict(zip(unique, encoded))


def literal_spans(text, path):
    """Yields (begin, end) of the bodies of narrow, non-raw string and character literals."""
    i = 0
    n = len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            i = n if end < 0 else end + 2
        elif c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            # A pp-number, so that a digit separator is not taken for a character literal.
            i += 1
            while i < n:
                if text[i] in "eEpP" and i + 1 < n and text[i + 1] in "+-":
                    i += 2
                elif text[i].isalnum() or text[i] in "_.":
                    i += 1
                elif text[i] == "'" and i + 1 < n and text[i + 1].isalnum():
                    i += 2
                else:
                    break
        elif c.isalpha() or c == "_":
            begin = i
            while i < n and (text[i].isalnum() or text[i] == "_"):
                i += 1
            prefix = text[begin:i]
            if i < n and text[i] == '"' and prefix.endswith("R") and prefix in (
                    "R", "u8R", "uR", "UR", "LR"):
                i = skip_raw(text, i, prefix != "R", path)
            elif i < n and text[i] in "\"'" and prefix in ("u8", "u", "U", "L"):
                # Not in the execution character set: the compiler leaves these alone.
                i = skip_quoted(text, i)[1] + 1
        elif c in "\"'":
            begin, end = skip_quoted(text, i)
            yield begin, end
            i = end + 1
        else:
            i += 1


def skip_quoted(text, i):
    quote = text[i]
    j = i + 1
    while j < len(text) and text[j] != quote:
        if text[j] == "\\":
            j += 1
        elif text[j] == "\n":
            raise SystemExit("cp936_literals: unterminated literal")
        j += 1
    return i + 1, j


def skip_raw(text, i, wide, path):
    open_paren = text.index("(", i)
    delimiter = text[i + 1:open_paren]
    end = text.index(")" + delimiter + '"', open_paren)
    if not wide and any(ord(ch) > 0x7F for ch in text[open_paren:end]):
        raise SystemExit(f"cp936_literals: {path}: non-ASCII raw literal cannot be escaped")
    return end + len(delimiter) + 2


def transcode(text, path):
    spans = list(literal_spans(text, path))
    table = cp936_bytes(ch for b, e in spans for ch in text[b:e] if ord(ch) > 0x7F)
    out = []
    last = 0
    for begin, end in spans:
        out.append(text[last:begin])
        for ch in text[begin:end]:
            # Octal escapes stop after three digits, so no following character joins them.
            out.append("".join(f"\\{b:03o}" for b in table[ch]) if ord(ch) > 0x7F else ch)
        last = end
    out.append(text[last:])
    return "".join(out)


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    source_root, output_root = sys.argv[1], sys.argv[2]
    pending = list(sys.argv[3:])
    done = set()
    while pending:
        relative = os.path.normpath(pending.pop())
        if relative in done:
            continue
        done.add(relative)
        with open(os.path.join(source_root, relative), encoding="utf-8") as f:
            text = f.read()
        for included in INCLUDE.findall(text):
            # Same order as the compiler: beside the including file, then from the root.
            beside = os.path.normpath(os.path.join(os.path.dirname(relative), included))
            if os.path.isfile(os.path.join(source_root, beside)):
                pending.append(beside)
            elif os.path.isfile(os.path.join(source_root, included)):
                pending.append(included)
        converted = transcode(text, relative)
        target = os.path.join(output_root, relative)
        try:
            with open(target, encoding="utf-8") as f:
                if f.read() == converted:
                    continue
        except FileNotFoundError:
            os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", encoding="utf-8") as f:
            f.write(converted)


if __name__ == "__main__":
    main()
