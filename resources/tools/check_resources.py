#!/usr/bin/env python3
"""Consistency check of the wizard resources across the four languages.

Compiles resources/lang_*.rc with windres (i686 and x86_64, each file alone and all four
together, which catches ids defined twice in one language), then reads the compiled .res
file and checks what a translation can break:
  - every language has the eleven page templates and strings 133..177 (without 134 and
    135), and no bitmap of its own: Setup.rc holds bitmap 500 once, language-neutral;
  - the templates of all languages are the English ones with other texts: same styles,
    sizes, font, control ids, classes, styles and rectangles;
  - every string keeps the English printf conversions in the same order, the same number
    of CR LF line breaks and the same link targets;
  - string 153 is the language's code, product terms are spelled as agreed;
  - keyboard mnemonics are unique within each page, including the wizard buttons shown
    with it;
  - no text is mojibake (UTF-8 read as a code page).
Usage: check_resources.py [RESOURCE_DIR]     Exit status 0 = all checks passed.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile

LANGS = {0x0409: ("en", "en-US"), 0x0407: ("de", "de-DE"), 0x040C: ("fr", "fr-FR"), 0x0413: ("nl", "nl-NL")}
DIALOGS = {103: "welcome", 104: "finish", 105: "progress", 106: "update", 107: "repair", 108: "downgrade",
           111: "prerequisites", 134: "confirm", 137: "features", 139: "runningapps", 140: "ghostscript"}
STRING_IDS = [133] + list(range(136, 178))
RT_BITMAP, RT_DIALOG, RT_STRING = 2, 5, 6
PRODUCT = {"en": "KELVARO VOV Client for Windows", "de": "KELVARO VOV Client für Windows",
           "fr": "KELVARO VOV Client pour Windows", "nl": "KELVARO VOV Client voor Windows"}
FAX = {"en": "Fax Printer", "de": "Faxdrucker", "fr": "Imprimante fax", "nl": "Faxprinter"}
VENDOR = "https://www.edocprintpro.com"
EXACT = {"en": {164: "< &Back", 144: "&Next >", 133: "&Finish"},
         "de": {164: "< &Zur\u00fcck", 145: "&\u00c4ndern"},
         "fr": {164: "< &Pr\u00e9c\u00e9dent", 173: "&Red\u00e9marrer"},
         "nl": {167: "Ge\u00efnstalleerde versie: v%s"}}
# Wizard buttons: Back, Next, the confirmation page's verbs (on the Next button), Finish, Reboot.
BACK, NEXT, FINISH, REBOOT = 164, 144, 133, 173
VERBS = [136, 137, 138, 139, 145]

problems = []


def problem(msg):
    problems.append(msg)


# ---- compiling -------------------------------------------------------------------

def compile_all(resdir, work):
    for arch in ("i686", "x86_64"):
        windres = f"{arch}-w64-mingw32-windres"
        for code, _ in LANGS.values():
            run([windres, "-I", resdir, os.path.join(resdir, f"lang_{code}.rc"), "-O", "coff",
                 "-o", os.path.join(work, f"{arch}-{code}.o")])
        combined = os.path.join(work, "all.rc")
        with open(combined, "w", encoding="utf-8") as f:
            f.write('#include "resource.h"\n')
            for code, _ in LANGS.values():
                f.write(f'#include "lang_{code}.rc"\n')
        run([windres, "-I", resdir, combined, "-O", "coff", "-o", os.path.join(work, f"{arch}-all.o")])
    # Each language on its own: a file must not rely on settings (such as its code page)
    # left behind by a file included before it.
    res = []
    for code, _ in LANGS.values():
        out = os.path.join(work, f"{code}.res")
        run(["x86_64-w64-mingw32-windres", "-I", resdir, os.path.join(resdir, f"lang_{code}.rc"),
             "-O", "res", "-o", out])
        res.append(out)
    return res


def check_side_picture(resdir, work):
    """Setup.rc stores the side picture once, language-neutral, for all four languages."""
    out = os.path.join(work, "Setup.res")
    run(["i686-w64-mingw32-windres", "-I", resdir, os.path.join(resdir, "Setup.rc"), "-O", "res", "-o", out])
    if not os.path.exists(out):
        return
    bitmaps = sorted(lang for (rtype, name, lang) in read_res(out) if rtype == RT_BITMAP and name == 500)
    if bitmaps != [0]:
        problem(f"Setup.rc: bitmap 500 in languages {bitmaps}, expected once, language-neutral (0)")


def check_sources(resdir):
    """Duplicates that windres accepts without a word: a string id given twice in one
    string table (the last one wins) and two names for one id in resource.h."""
    defines = {}
    for line in open(os.path.join(resdir, "resource.h"), encoding="utf-8"):
        m = re.match(r"\s*#define\s+(ID[SDBC]_\w+)\s+(\d+)", line)
        if m:
            defines[m.group(1)] = int(m.group(2))
    for prefix in ("IDS_", "IDD_"):
        seen = {}
        for name, value in defines.items():
            if name.startswith(prefix):
                if value in seen:
                    problem(f"resource.h: {name} and {seen[value]} are both {value}")
                seen[value] = name
    for code, _ in LANGS.values():
        text = open(os.path.join(resdir, f"lang_{code}.rc"), encoding="utf-8").read()
        if not text.startswith("\ufeff") and "#pragma code_page(65001)" not in text:
            problem(f"lang_{code}.rc: no #pragma code_page(65001)")
        for block in re.findall(r"^STRINGTABLE\s*\nBEGIN\n(.*?)^END", text, re.S | re.M):
            seen = set()
            for m in re.finditer(r"^\s*(\w+)\s+\"", block, re.M):
                sid = defines.get(m.group(1), m.group(1))
                if sid in seen:
                    problem(f"lang_{code}.rc: string {m.group(1)} defined twice")
                seen.add(sid)


def run(cmd):
    r = subprocess.run(cmd, capture_output=True, text=True)
    if r.returncode != 0 or r.stderr.strip():
        problem(f"{' '.join(os.path.basename(c) for c in cmd[:1] + cmd[3:4])}: {r.stderr.strip() or 'failed'}")


# ---- reading a .res file ---------------------------------------------------------

def sz_or_ord(data, pos):
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def align4(n):
    return (n + 3) & ~3


def read_res(path):
    data = open(path, "rb").read()
    out = {}
    pos = 0
    while pos < len(data):
        size, header = struct.unpack_from("<II", data, pos)
        rtype, p = sz_or_ord(data, pos + 8)
        name, p = sz_or_ord(data, p)
        p = align4(p)
        lang = struct.unpack_from("<H", data, p + 6)[0]
        body = data[pos + header:pos + header + size]
        if size:
            out[(rtype, name, lang)] = body
        pos = align4(pos + header + size)
    return out


def parse_dialog(b):
    ver, sig, _help, exstyle, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", b, 0)
    assert ver == 1 and sig == 0xFFFF, "not a DIALOGEX"
    menu, p = sz_or_ord(b, 26)
    cls, p = sz_or_ord(b, p)
    title, p = sz_or_ord(b, p)
    points, weight, italic, charset = struct.unpack_from("<HHBB", b, p)
    face, p = sz_or_ord(b, p + 6)
    dlg = {"style": style, "exstyle": exstyle, "rect": (x, y, cx, cy), "menu": menu, "class": cls,
           "font": (points, weight, italic, charset, face), "caption": title, "controls": []}
    for _ in range(count):
        p = align4(p)
        _h, cexstyle, cstyle, x, y, cx, cy, cid = struct.unpack_from("<IIIhhhhI", b, p)
        ccls, p = sz_or_ord(b, p + 24)
        text, p = sz_or_ord(b, p)
        extra = struct.unpack_from("<H", b, p)[0]
        p += 2 + extra
        dlg["controls"].append({"id": cid, "class": ccls, "style": cstyle, "exstyle": cexstyle,
                                "rect": (x, y, cx, cy), "text": text})
    return dlg


def parse_strings(res, lang):
    strings = {}
    for (rtype, name, l), body in res.items():
        if rtype != RT_STRING or l != lang:
            continue
        p = 0
        for i in range(16):
            n = struct.unpack_from("<H", body, p)[0]
            if n:
                strings[(name - 1) * 16 + i] = body[p + 2:p + 2 + 2 * n].decode("utf-16-le")
            p += 2 + 2 * n
    return strings


# ---- checks ----------------------------------------------------------------------

def conversions(s):
    return re.findall(r"%[-+ #0]*\d*(?:\.\d+)?[a-zA-Z%]", s)


def links(s):
    return re.findall(r'<a href="([^"]*)">', s)


def mnemonic(text):
    """The mnemonic letter of a control text, lower-case, or None; '&&' is a literal '&'."""
    found = [m.group(1) for m in re.finditer(r"&(.)", text.replace("&&", "")) if m.group(1) != " "]
    return found


def check_mnemonics(lang, name, texts):
    """texts: {label: text}; every mnemonic must be used once."""
    seen = {}
    for label, text in texts.items():
        keys = mnemonic(text)
        if len(keys) > 1:
            problem(f"{lang} {name}: {label} {text!r} has {len(keys)} mnemonics")
        for k in keys:
            k = k.lower()
            if k in seen:
                problem(f"{lang} {name}: mnemonic '{k}' of {label} {text!r} also on {seen[k]}")
            seen[k] = f"{label} {text!r}"


def check_language(res, lang, code, ref_dialogs, ref_strings):
    short = LANGS[lang][0]
    dialogs = {name: parse_dialog(res[(RT_DIALOG, name, lang)])
               for name in DIALOGS if (RT_DIALOG, name, lang) in res}
    for name in DIALOGS:
        if name not in dialogs:
            problem(f"{short}: dialog {name} missing")
    extra = sorted(n for (t, n, l) in res if t == RT_DIALOG and l == lang and n not in DIALOGS)
    if extra:
        problem(f"{short}: unexpected dialogs {extra}")
    if any(t == RT_BITMAP and l == lang for (t, n, l) in res):
        problem(f"{short}: a bitmap of its own; the side picture is language-neutral in Setup.rc")
    strings = parse_strings(res, lang)
    if sorted(strings) != STRING_IDS:
        problem(f"{short}: string ids {sorted(set(STRING_IDS) ^ set(strings))} missing or unexpected")

    for name, d in dialogs.items():
        ids = [c["id"] for c in d["controls"]]
        if len(ids) != len(set(ids)):
            problem(f"{short} {DIALOGS[name]}: control ids repeated: {ids}")
        if d["rect"] != (0, 0, 320, 200) or d["font"][0] != 8 or d["font"][4] != "MS Shell Dlg":
            problem(f"{short} {DIALOGS[name]}: size or font differs: {d['rect']} {d['font']}")
        if not d["caption"]:
            problem(f"{short} {DIALOGS[name]}: empty caption")
        if ref_dialogs is not None and name in ref_dialogs:
            ref = ref_dialogs[name]
            for key in ("style", "exstyle", "rect", "font", "menu", "class"):
                if d[key] != ref[key]:
                    problem(f"{short} {DIALOGS[name]}: {key} {d[key]!r} differs from English {ref[key]!r}")
            shape = [(c["id"], c["class"], c["style"], c["exstyle"], c["rect"]) for c in d["controls"]]
            ref_shape = [(c["id"], c["class"], c["style"], c["exstyle"], c["rect"]) for c in ref["controls"]]
            if shape != ref_shape:
                problem(f"{short} {DIALOGS[name]}: controls differ from English:\n  {shape}\n  {ref_shape}")
            for c, rc in zip(d["controls"], ref["controls"]):
                if bool(c["text"]) != bool(rc["text"]) or c["text"].count("\n") != rc["text"].count("\n"):
                    problem(f"{short} {DIALOGS[name]}: control {c['id']} text {c['text']!r} vs {rc['text']!r}")

    for sid, s in strings.items():
        if ref_strings is not None and sid in ref_strings:
            r = ref_strings[sid]
            if conversions(s) != conversions(r):
                problem(f"{short} string {sid}: conversions {conversions(s)} differ from English {conversions(r)}")
            if s.count("\r\n") != r.count("\r\n"):
                problem(f"{short} string {sid}: {s.count(chr(13) + chr(10))} CR LF, English has {r.count(chr(13) + chr(10))}")
            if links(s) != links(r) or s.count("</a>") != r.count("</a>"):
                problem(f"{short} string {sid}: links {links(s)} differ from English {links(r)}")
        if "\\" in s:
            problem(f"{short} string {sid}: unprocessed escape in {s!r}")

    # fixed texts and terms; non-ASCII letters must arrive as the right UTF-16 text
    for sid, text in EXACT.get(short, {}).items():
        if strings.get(sid) != text:
            problem(f"{short}: string {sid} is {strings.get(sid)!r}, expected {text!r}")
    for sid in (170, 171, 172, 175, 176):
        if "\r\n" not in strings.get(sid, ""):
            problem(f"{short}: string {sid} has no CR LF line break")
    apps = dialogs.get(139)
    if apps and "\n\n" not in apps["controls"][1]["text"]:
        problem(f"{short}: running-applications text lacks its two line feeds")
    for d in dialogs.values():
        for c in d["controls"]:
            if isinstance(c["text"], str) and "\\" in c["text"]:
                problem(f"{short}: unprocessed escape in control text {c['text']!r}")
    if strings.get(153) != code:
        problem(f"{short}: string 153 is {strings.get(153)!r}, expected {code!r}")
    if strings.get(160) != PRODUCT[short]:
        problem(f"{short}: string 160 is {strings.get(160)!r}")
    for sid in (154, 175):
        if strings.get(sid, "").count(FAX[short]) < 1:
            problem(f"{short}: string {sid} does not name the feature {FAX[short]!r}")
    if strings.get(154, "").count(FAX[short]) != 2:
        problem(f"{short}: string 154 should name {FAX[short]!r} twice")
    if f'<a href="{VENDOR}">{VENDOR}</a>' not in strings.get(175, ""):
        problem(f"{short}: string 175 lacks the link to {VENDOR}")
    for sid in list(range(140, 144)) + list(range(147, 152)):
        if "KELVARO VOV Client" not in strings.get(sid, ""):
            problem(f"{short}: string {sid} does not name the KELVARO VOV Client")
    welcome = dialogs.get(103)
    if welcome and not any(c["text"] == PRODUCT[short] for c in welcome["controls"]):
        problem(f"{short}: welcome page title is not {PRODUCT[short]!r}")

    # every text: no mojibake, no replacement characters
    texts = list(strings.values()) + [d["caption"] for d in dialogs.values()] + \
        [c["text"] for d in dialogs.values() for c in d["controls"] if isinstance(c["text"], str)]
    for t in texts:
        if re.search("[\u00c3\u00c2][\u0080-\u00bf]|\u00e2\u20ac|\ufffd", t):
            problem(f"{short}: mojibake in {t!r}")

    # mnemonics per page together with the wizard buttons on it
    for name, d in dialogs.items():
        page = {f"control {c['id']}": c["text"] for c in d["controls"] if isinstance(c["text"], str)}
        if name == 104:  # Finish page: Finish or Reboot replaces Back and Next
            for b in (FINISH, REBOOT):
                check_mnemonics(short, DIALOGS[name], {**page, f"button {b}": strings.get(b, "")})
            continue
        nexts = VERBS if name in (134, 139) else [NEXT]  # the verb stays on Next after Confirmation
        for n in nexts:
            check_mnemonics(short, DIALOGS[name], {**page, f"button {BACK}": strings.get(BACK, ""),
                                                    f"button {n}": strings.get(n, "")})
    return dialogs, strings


def main():
    resdir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    with tempfile.TemporaryDirectory() as work:
        check_sources(resdir)
        res = {}
        for resfile in compile_all(resdir, work):
            if os.path.exists(resfile):
                res.update(read_res(resfile))
        check_side_picture(resdir, work)
    ref_dialogs, ref_strings = check_language(res, 0x0409, "en-US", None, None)
    for lang, (_, code) in LANGS.items():
        if lang != 0x0409:
            check_language(res, lang, code, ref_dialogs, ref_strings)
    for p in problems:
        print(p)
    print(f"{len(problems)} problem(s)" if problems else "all resource checks passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
