#!/usr/bin/env python3
"""Builds the licence document (RTF, ANSI code page 1252) that the licence
screen shows, from its editable source Licence.txt.

Usage: make_licence_rtf.py Licence.txt OUTPUT.rtf

Source format (UTF-8): the first line is the title; a line starting with
"## " is a section heading; other lines are joined into paragraphs, which
blank lines separate. Characters of code page 1252 are written as \\'hh
escapes, any other character as \\uN with a "?" fallback, so the output is
plain ASCII.
"""
import sys


def escape(text):
    out = []
    for ch in text:
        if ch in "\\{}":
            out.append("\\" + ch)
        elif 32 <= ord(ch) < 127:
            out.append(ch)
        else:
            try:
                byte = ch.encode("cp1252")
                out.append("\\'%02x" % byte[0])
            except UnicodeEncodeError:
                code = ord(ch)
                if code > 0xFFFF:
                    raise SystemExit("character outside the BMP: %r" % ch)
                out.append("\\u%d?" % (code - 0x10000 if code > 0x7FFF else code))
    return "".join(out)


def blocks(lines):
    """(kind, text) for the title, headings and paragraphs, in order."""
    title, rest = lines[0].strip(), lines[1:]
    yield "title", title
    paragraph = []
    for line in rest + [""]:
        stripped = line.strip()
        if stripped.startswith("## ") or not stripped:
            if paragraph:
                yield "paragraph", " ".join(paragraph)
                paragraph = []
            if stripped:
                yield "heading", stripped[3:]
        else:
            paragraph.append(stripped)


def main(source, output):
    with open(source, encoding="utf-8") as f:
        lines = f.read().splitlines()
    parts = ["{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033",
             "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}",
             "{\\colortbl ;\\red0\\green61\\blue61;}",
             "\\viewkind4\\uc1\\pard\\sa100\\f0\\fs16"]
    for kind, text in blocks(lines):
        if kind == "title":
            parts.append("\\pard\\qc\\sa160\\cf1\\b\\fs20 %s\\b0\\fs16\\cf0\\par" % escape(text))
        elif kind == "heading":
            parts.append("\\pard\\sb120\\sa60\\cf1\\b %s\\b0\\cf0\\par" % escape(text))
        else:
            parts.append("\\pard\\sa100 %s\\par" % escape(text))
    parts.append("}")
    with open(output, "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(parts) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2])
