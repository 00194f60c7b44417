#!/usr/bin/env python3
"""Static checks of the 32-bit palvorine.exe, one area per run:

  check_exe.py AREA --exe palvorine.exe [--windres i686-w64-mingw32-windres]

Areas: pe-headers, imports, main-dialog, main-menu, version-dialog, icon,
version-info, languages. Prints one line per difference found and exits 1
if there was any, 0 otherwise.
"""

import argparse
import os
import struct
import subprocess
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import expected as E          # noqa: E402
import pe_image as pe         # noqa: E402
import rc_listing             # noqa: E402


# ------------------------------------------------------------ describing

def show_text(value):
    if isinstance(value, rc_listing.Ordinal):
        return "ordinal %d" % value
    if isinstance(value, int):
        return "%d" % value
    return '"%s"' % value


def char_name(ch):
    return "U+%04X %s" % (ord(ch), unicodedata.name(ch, "?"))


def text_difference(actual, expected):
    """Why two texts differ, down to the first differing UTF-16 unit."""
    if not isinstance(actual, str):
        return "is %s, expected the text %s" % (show_text(actual), show_text(expected))
    for i, (a, e) in enumerate(zip(actual, expected)):
        if a != e:
            return "is %s, expected %s: character %d is %s, expected %s" % (
                show_text(actual), show_text(expected), i + 1, char_name(a), char_name(e))
    if len(actual) > len(expected):
        return "is %s, expected %s: extra %s" % (
            show_text(actual), show_text(expected),
            ", ".join(char_name(c) for c in actual[len(expected):]))
    return "is %s, expected %s: missing %s" % (
        show_text(actual), show_text(expected),
        ", ".join(char_name(c) for c in expected[len(actual):]))


def bit_names(mask, names):
    """Names of the single bits in mask; unnamed bits as hex."""
    out = []
    for bit in range(32):
        b = 1 << bit
        if not mask & b:
            continue
        hits = [n for n, v in names.items() if v == b]
        out.append(hits[0] if hits else "0x%08X" % b)
    return out


def style_difference(actual, expected, cls=None, expected_names=None):
    """What sets two style values apart, in the style names of the class."""
    parts = []
    if cls is None:
        names = dict(E.DIALOG_STYLES)
        field_mask = 0
    else:
        types, field_mask, flags = E.CONTROL_STYLES.get(cls, ({}, 0, {}))
        names = dict(E.CHILD_STYLES)
        names.update(flags)
        a_type, e_type = actual & field_mask, expected & field_mask
        if a_type != e_type:
            by_value = {v: n for n, v in types.items()}
            parts.append("type %s, expected %s" % (
                by_value.get(a_type, "0x%X" % a_type), by_value.get(e_type, "0x%X" % e_type)))
    extra = actual & ~expected & ~field_mask & 0xFFFFFFFF
    missing = expected & ~actual & ~field_mask & 0xFFFFFFFF
    if extra:
        parts.append("extra " + "|".join(bit_names(extra, names)))
    if missing:
        parts.append("missing " + "|".join(bit_names(missing, names)))
    shown = "0x%08X" % expected
    if expected_names:
        shown += " = " + expected_names
    return "style 0x%08X, expected %s (%s)" % (actual, shown, "; ".join(parts))


# ------------------------------------------------------------ PE headers

def check_pe_headers(img):
    problems = []
    if img.magic != E.PE32_MAGIC:
        kind = "PE32+" if img.magic == E.PE32_PLUS_MAGIC else "magic 0x%X" % img.magic
        problems.append("optional header is %s, expected PE32 (magic 0x10B)" % kind)
    if img.machine != E.IMAGE_FILE_MACHINE_I386:
        problems.append("machine is 0x%04X, expected 0x014C (i386)" % img.machine)
    c = img.characteristics
    if not c & E.IMAGE_FILE_EXECUTABLE_IMAGE:
        problems.append("characteristics 0x%04X lack IMAGE_FILE_EXECUTABLE_IMAGE" % c)
    if c & E.IMAGE_FILE_DLL:
        problems.append("characteristics 0x%04X mark a DLL" % c)
    if not c & E.IMAGE_FILE_32BIT_MACHINE:
        problems.append("characteristics 0x%04X lack IMAGE_FILE_32BIT_MACHINE" % c)
    f = img.fields
    if f["Subsystem"] != E.IMAGE_SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem is %d, expected 2 (Windows GUI)" % f["Subsystem"])
    sub = (f["MajorSubsystemVersion"], f["MinorSubsystemVersion"])
    if sub != E.SUBSYSTEM_VERSION:
        problems.append("subsystem version is %d.%d, expected %d.%d" % (sub + E.SUBSYSTEM_VERSION))
    osv = (f["MajorOperatingSystemVersion"], f["MinorOperatingSystemVersion"])
    if osv != E.OS_VERSION:
        problems.append("OS version is %d.%d, expected %d.%d" % (osv + E.OS_VERSION))

    # stripped: no COFF symbols, no debug directory, no debug sections
    if img.symtab_ptr or img.symbol_count:
        problems.append("COFF symbol table left in (pointer 0x%X, %d symbols), expected stripped"
                        % (img.symtab_ptr, img.symbol_count))
    for flag, name in ((E.IMAGE_FILE_LINE_NUMS_STRIPPED, "IMAGE_FILE_LINE_NUMS_STRIPPED"),
                       (E.IMAGE_FILE_LOCAL_SYMS_STRIPPED, "IMAGE_FILE_LOCAL_SYMS_STRIPPED"),
                       (E.IMAGE_FILE_DEBUG_STRIPPED, "IMAGE_FILE_DEBUG_STRIPPED")):
        if not c & flag:
            problems.append("characteristics 0x%04X lack %s, expected a stripped image" % (c, name))
    d_rva, d_size = img.directory(pe.DIR_DEBUG)
    if d_rva or d_size:
        problems.append("debug directory present (RVA 0x%X, size %d), expected none" % (d_rva, d_size))
    for s in img.sections:
        # ld names its DWARF sections /N (an offset into the string table)
        if s.name.startswith((".debug", ".stab", ".zdebug")) or s.name.startswith("/"):
            problems.append("debug section %s left in" % s.name)
    return problems


# ------------------------------------------------------------ imports

FORBIDDEN_DLL_HINTS = ("libstdc++", "libgcc", "libwinpthread", "pthread", "ucrtbase",
                       "api-ms-win", "msvcr1", "msvcp")


def looks_wide(name):
    return len(name) > 2 and name.endswith("W") and (name[-2].islower() or name[-2].isdigit())


def check_imports(img):
    problems = []
    dlls = pe.imports(img)
    seen = {}
    for dll in dlls:
        seen.setdefault(dll.name.upper(), []).append(dll)
    for name in sorted(seen):
        if name in E.ALLOWED_IMPORTS:
            continue
        low = name.lower()
        why = ""
        if any(h in low for h in FORBIDDEN_DLL_HINTS):
            why = " (a compiler runtime DLL that Windows 98 lacks)"
        problems.append("imports DLL %s%s; expected only KERNEL32, USER32, ADVAPI32 and msvcrt"
                        % (seen[name][0].name, why))
    for name in sorted(E.ALLOWED_IMPORTS):
        if name not in seen:
            problems.append("does not import %s" % name)

    for name, entries in sorted(seen.items()):
        allowed = E.ALLOWED_IMPORTS.get(name)
        if allowed is None:
            continue
        for dll in entries:
            for fn in dll.functions:
                if fn.startswith("#"):
                    problems.append("%s imported by ordinal %s; expected by name" % (dll.name, fn[1:]))
                elif fn not in allowed:
                    why = "not in the list of Windows 98 functions the program may use"
                    if looks_wide(fn):
                        why = "a wide-character function"
                    problems.append("%s!%s imported: %s" % (dll.name, fn, why))

    # the program's own Win32 calls must all be bound by name
    needed = {
        "USER32.DLL": ("DialogBoxParamA", "EndDialog", "GetDlgItemTextA",
                       "SetDlgItemTextA", "MessageBoxA"),
        "ADVAPI32.DLL": ("RegOpenKeyExA", "RegQueryValueExA", "RegSetValueExA", "RegCloseKey"),
    }
    for name, fns in needed.items():
        have = {fn for dll in seen.get(name, []) for fn in dll.functions}
        for fn in fns:
            if fn not in have:
                problems.append("%s!%s is not imported, though the program calls it" % (name, fn))

    d_rva, d_size = img.directory(pe.DIR_DELAY_IMPORT)
    if d_rva or d_size:
        problems.append("delay-load import directory present (RVA 0x%X); expected none" % d_rva)
    return problems


# ------------------------------------------------------------ dialogs

def listing_resources(listing, type_key, name, label):
    """The one 1041 entry of a resource in the windres listing, or problems."""
    entries = listing.get((type_key, name), [])
    if not entries:
        return None, ["%s is missing" % label]
    problems = []
    if len(entries) > 1:
        problems.append("%s exists in %d languages (%s), expected one" % (
            label, len(entries), ", ".join(str(e["lang"]) for e in entries)))
    chosen = [e for e in entries if e["lang"] == E.LANG_JAPANESE_DEFAULT]
    if not chosen:
        problems.append("%s has language %s, expected 1041" % (label, entries[0]["lang"]))
        chosen = entries
    return chosen[0], problems


def control_id(actual):
    # a DIALOGEX lists the 32-bit -1 where a DIALOG stores 65535
    return actual["id"] & 0xFFFF if actual["id"] == -1 else actual["id"]


def control_matches(actual, exp):
    cid, cls, text, x, y, w, h, style = exp
    if (control_id(actual), actual["class"], actual["x"], actual["y"], actual["w"], actual["h"],
            actual["style"]) != (cid, cls, x, y, w, h, style):
        return False
    return text is E.ANY_TEXT or text_equal(actual["text"], text)


def text_equal(actual, exp):
    if isinstance(exp, E.IconRef):
        return isinstance(actual, rc_listing.Ordinal) and int(actual) == int(exp)
    return isinstance(actual, str) and not isinstance(actual, rc_listing.Ordinal) and actual == exp


def describe_expected_control(exp):
    cid, cls, text, *_ = exp
    shown = "" if text is E.ANY_TEXT else " " + (
        "icon %d" % text if isinstance(text, E.IconRef) else show_text(text))
    return "id %d %s%s" % (cid, cls, shown)


def check_controls(label, actual_list, expected_list):
    problems = []
    if len(actual_list) != len(expected_list):
        problems.append("%s has %d controls, expected %d" % (label, len(actual_list), len(expected_list)))
        # pair up what matches exactly and name the rest; position by
        # position would call every later control misplaced
        unused = list(range(len(expected_list)))
        for i, act in enumerate(actual_list):
            hit = next((j for j in unused if control_matches(act, expected_list[j])), None)
            if hit is None:
                problems.append("%s control #%d (id %d %s %s) matches no expected control"
                                % (label, i + 1, act["id"], act["class"], show_text(act["text"])))
            else:
                unused.remove(hit)
        for j in unused:
            problems.append("%s: expected control #%d (%s) is missing"
                            % (label, j + 1, describe_expected_control(expected_list[j])))
        return problems
    for i, (act, exp) in enumerate(zip(actual_list, expected_list)):
        where = "%s control #%d (expected %s)" % (label, i + 1, describe_expected_control(exp))
        if control_matches(act, exp):
            pass
        else:
            elsewhere = [j for j, e in enumerate(expected_list) if j != i and control_matches(act, e)]
            if elsewhere:
                problems.append("%s: holds the control expected at #%d (%s); controls out of order"
                                % (where, elsewhere[0] + 1,
                                   describe_expected_control(expected_list[elsewhere[0]])))
                continue
            cid, cls, text, x, y, w, h, style = exp
            if control_id(act) != cid:
                problems.append("%s: id is %d, expected %d" % (where, act["id"], cid))
            if act["class"] != cls:
                problems.append("%s: class is %s, expected %s" % (where, show_text(act["class"]), cls))
            if text is not E.ANY_TEXT and not text_equal(act["text"], text):
                if isinstance(text, E.IconRef):
                    problems.append("%s: content is %s, expected a reference to icon %d by ordinal"
                                    % (where, show_text(act["text"]), text))
                else:
                    problems.append("%s: text %s" % (where, text_difference(act["text"], text)))
            for field, want in (("x", x), ("y", y), ("w", w), ("h", h)):
                if act[field] != want:
                    problems.append("%s: %s is %d, expected %d" % (where, field, act[field], want))
            if act["style"] != style:
                problems.append("%s: %s" % (where, style_difference(act["style"], style, cls)))
        if act["exstyle"]:
            problems.append("%s: extended style 0x%X, expected none" % (where, act["exstyle"]))
        if act["helpid"]:
            problems.append("%s: help id %d, expected none" % (where, act["helpid"]))
        if act["data"]:
            problems.append("%s: carries creation data, expected none" % where)
    return problems


def check_dialog(listing, exp):
    label = "dialog %d" % exp["id"]
    d, problems = listing_resources(listing, "DIALOG", exp["id"], label)
    if d is None:
        return problems
    if d["kind"] != "DIALOG":
        problems.append("%s is a %s, expected a plain DIALOG" % (label, d["kind"]))
    if d["style"] != exp["style"]:
        problems.append("%s: %s" % (label, style_difference(d["style"] or 0, exp["style"],
                                                             None, exp["style_names"])))
    if d["exstyle"]:
        problems.append("%s: extended style 0x%X, expected none" % (label, d["exstyle"]))
    if d.get("helpid"):
        problems.append("%s: help id %d, expected none" % (label, d["helpid"]))
    if d["caption"] != exp["caption"]:
        problems.append("%s: caption %s" % (label, text_difference(d["caption"] or "", exp["caption"])))
    rect = (d["x"], d["y"], d["w"], d["h"])
    if rect != exp["rect"]:
        problems.append("%s: position and size are %d, %d, %d x %d, expected %d, %d, %d x %d"
                        % ((label,) + rect + exp["rect"]))
    font = d["font"]
    if font is None:
        problems.append("%s: no FONT, expected %d %s" % (label, exp["font"][0], show_text(exp["font"][1])))
    else:
        if font[0] != exp["font"][0]:
            problems.append("%s: font size %d, expected %d" % (label, font[0], exp["font"][0]))
        if font[1] != exp["font"][1]:
            problems.append("%s: font face %s" % (label, text_difference(font[1], exp["font"][1])))
        if len(font) > 2:
            problems.append("%s: font carries weight/italic/charset %r, expected a plain DIALOG font"
                            % (label, font[2:]))
    menu = d["menu"]
    if exp["menu"] is None:
        if menu is not None:
            problems.append("%s: has menu %s, expected none" % (label, show_text(menu)))
    elif not (isinstance(menu, rc_listing.Ordinal) and int(menu) == exp["menu"]):
        problems.append("%s: menu is %s, expected menu %d by ordinal"
                        % (label, "none" if menu is None else show_text(menu), exp["menu"]))
    if d["class"] is not None:
        problems.append("%s: window class %s, expected the standard dialog class"
                        % (label, show_text(d["class"])))
    problems += check_controls(label, d["controls"], exp["controls"])
    return problems


def check_main_menu(listing):
    label = "menu %d" % E.IDR_MAIN_MENU
    m, problems = listing_resources(listing, "MENU", E.IDR_MAIN_MENU, label)
    if m is None:
        return problems
    if m["kind"] != "MENU":
        return problems + ["%s is a %s, expected a plain MENU" % (label, m["kind"])]
    items = m["items"]
    if len(items) != len(E.MAIN_MENU):
        problems.append("%s has %d top-level entries, expected %d popups"
                        % (label, len(items), len(E.MAIN_MENU)))
    for i, (item, (ptext, pitems)) in enumerate(zip(items, E.MAIN_MENU)):
        where = "%s popup #%d (expected %s)" % (label, i + 1, show_text(ptext))
        if item["kind"] != "POPUP":
            problems.append("%s: is a %s, expected a POPUP" % (where, item["kind"]))
            continue
        if item["text"] != ptext:
            problems.append("%s: text %s" % (where, text_difference(item["text"], ptext)))
        if item["options"]:
            problems.append("%s: options %s, expected none" % (where, item["options"]))
        sub = item["items"]
        if len(sub) != len(pitems):
            problems.append("%s: holds %d items, expected %d" % (where, len(sub), len(pitems)))
        for j, (s, (itext, iid)) in enumerate(zip(sub, pitems)):
            swhere = "%s item #%d (expected %s)" % (where, j + 1, show_text(itext))
            if s["kind"] != "MENUITEM":
                problems.append("%s: is a %s, expected a MENUITEM" % (swhere, s["kind"]))
                continue
            if s["text"] != itext:
                problems.append("%s: text %s" % (swhere, text_difference(s["text"], itext)))
            if s["id"] != iid:
                problems.append("%s: command id is %d, expected %d" % (swhere, s["id"], iid))
            if s["options"]:
                problems.append("%s: options %s, expected none" % (swhere, s["options"]))
    return problems


# ------------------------------------------------------------ icon

def check_icon(res_list):
    problems = []
    groups = pe.find_resources(res_list, pe.RT_GROUP_ICON)
    if not groups:
        return ["no icon group (RT_GROUP_ICON) at all, expected group %d" % E.IDI_APP]
    if groups[0].name != E.IDI_APP:
        problems.append("the first icon group is %r, expected %d (the shell shows the first)"
                        % (groups[0].name, E.IDI_APP))
    mine = [g for g in groups if g.name == E.IDI_APP]
    if not mine:
        return problems + ["icon group %d is missing" % E.IDI_APP]
    data = mine[0].data
    label = "icon group %d" % E.IDI_APP
    if len(data) < 6:
        return problems + ["%s is only %d bytes" % (label, len(data))]
    reserved, rtype, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or rtype != 1:
        problems.append("%s header is %d, %d, expected 0, 1 (icons)" % (label, reserved, rtype))
    if count != len(E.ICON_IMAGES):
        problems.append("%s holds %d images, expected %d" % (label, count, len(E.ICON_IMAGES)))
    if len(data) < 6 + 14 * count:
        return problems + ["%s is cut short: %d bytes for %d entries" % (label, len(data), count)]
    found = []
    for i in range(count):
        bw, bh, colors, _res, planes, bits, nbytes, nid = struct.unpack_from(
            "<BBBBHHIH", data, 6 + 14 * i)
        where = "%s image #%d (icon %d)" % (label, i + 1, nid)
        w, h = bw or 256, bh or 256
        if bits != 4:
            problems.append("%s: group entry says %d bits per pixel, expected 4" % (where, bits))
        if colors != 16:
            problems.append("%s: group entry says %d colours, expected 16" % (where, colors))
        if planes != 1:
            problems.append("%s: group entry says %d planes, expected 1" % (where, planes))
        images = pe.find_resources(res_list, pe.RT_ICON, nid)
        if not images:
            problems.append("%s: RT_ICON %d is missing" % (where, nid))
            found.append((w, h, bits))
            continue
        img = images[0].data
        if len(img) != nbytes:
            problems.append("%s: group entry gives %d bytes, the image has %d" % (where, nbytes, len(img)))
        if img[:8] == b"\x89PNG\r\n\x1a\n":
            problems.append("%s: PNG image, which Windows 98 cannot show" % where)
            found.append((w, h, bits))
            continue
        if len(img) < 40:
            problems.append("%s: image of %d bytes has no bitmap header" % (where, len(img)))
            found.append((w, h, bits))
            continue
        hsize, iw, ih, iplanes, ibits = struct.unpack_from("<IiiHH", img, 0)
        if hsize != 40:
            problems.append("%s: bitmap header size %d, expected 40" % (where, hsize))
        if (iw, ih) != (w, h * 2):
            problems.append("%s: bitmap is %d x %d, expected %d x %d (image and mask) as the group says"
                            % (where, iw, ih, w, h * 2))
        if ibits != 4:
            problems.append("%s: bitmap has %d bits per pixel, expected 4 (16 colours)" % (where, ibits))
        if iplanes != 1:
            problems.append("%s: bitmap has %d planes, expected 1" % (where, iplanes))
        row_xor = ((iw * ibits + 31) // 32) * 4
        row_and = ((iw + 31) // 32) * 4
        palette = 4 * (1 << ibits) if ibits <= 8 else 0
        need = 40 + palette + (row_xor + row_and) * (ih // 2)
        if len(img) < need:
            problems.append("%s: image has %d bytes, a %d x %d %d-bit icon needs %d"
                            % (where, len(img), iw, ih // 2, ibits, need))
        found.append((iw, ih // 2, ibits))
    if sorted(found) != sorted(E.ICON_IMAGES):
        problems.append("%s images are %s, expected %s" % (
            label, ", ".join("%dx%d %d-bit" % f for f in found),
            ", ".join("%dx%d %d-bit" % f for f in E.ICON_IMAGES)))
    return problems


# ------------------------------------------------------------ version info

def check_version_info(res_list):
    versions = pe.find_resources(res_list, pe.RT_VERSION)
    if not versions:
        return ["no VERSIONINFO resource (RT_VERSION)"]
    problems = []
    if len(versions) != 1:
        problems.append("%d VERSIONINFO resources, expected one" % len(versions))
    v = versions[0]
    if v.name != 1:
        problems.append("VERSIONINFO is named %r, expected 1" % (v.name,))
    nodes = pe.version_nodes(v.data)
    if not nodes or nodes[0]["key"] != "VS_VERSION_INFO":
        return problems + ["VERSIONINFO does not start with a VS_VERSION_INFO block"]
    root = nodes[0]
    fixed = root["value"]
    if len(fixed) < 52 or struct.unpack_from("<I", fixed, 0)[0] != 0xFEEF04BD:
        problems.append("VERSIONINFO has no VS_FIXEDFILEINFO (signature 0xFEEF04BD)")
    else:
        fv = struct.unpack_from("<II", fixed, 8)
        pv = struct.unpack_from("<II", fixed, 16)

        def dotted(ms_ls):
            ms, ls = ms_ls
            return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if fv != E.VERSION_MS_LS:
            problems.append("FILEVERSION is %s, expected %s" % (dotted(fv), dotted(E.VERSION_MS_LS)))
        if pv != E.VERSION_MS_LS:
            problems.append("PRODUCTVERSION is %s, expected %s" % (dotted(pv), dotted(E.VERSION_MS_LS)))

    blocks = {c["key"]: c for c in root["children"]}
    sfi = blocks.get("StringFileInfo")
    if sfi is None:
        problems.append("no StringFileInfo block")
    else:
        tables = {t["key"].lower(): t for t in sfi["children"]}
        table = tables.get(E.VERSION_STRING_TABLE)
        if table is None:
            problems.append("StringFileInfo holds %s, expected a block \"%s\" (language 0x0411, code page 932)"
                            % (", ".join('"%s"' % t["key"] for t in sfi["children"]) or "no block",
                               E.VERSION_STRING_TABLE))
        else:
            strings = {s["key"]: pe.version_string(s) for s in table["children"]}
            name = strings.get("ProductName")
            if name != E.PRODUCT_NAME:
                problems.append("ProductName is %s, expected \"%s\"" % (
                    "missing" if name is None else '"%s"' % name, E.PRODUCT_NAME))
            for key in ("FileVersion", "ProductVersion"):
                val = strings.get(key)
                if val is None:
                    problems.append("%s string is missing" % key)
                elif not val.startswith(E.VERSION_TEXT_PREFIX):
                    problems.append("%s string is \"%s\", expected it to start with \"%s\""
                                    % (key, val, E.VERSION_TEXT_PREFIX))
    vfi = blocks.get("VarFileInfo")
    trans = None
    if vfi is not None:
        trans = {c["key"]: c for c in vfi["children"]}.get("Translation")
    if trans is None:
        problems.append("no VarFileInfo Translation")
    else:
        raw = trans["value"]
        pairs = [struct.unpack_from("<HH", raw, i) for i in range(0, len(raw) - 3, 4)]
        if pairs != [E.VERSION_TRANSLATION]:
            problems.append("VarFileInfo Translation is %s, expected 0x0411, 932" % (
                ", ".join("0x%04X, %d" % p for p in pairs) or "empty"))
    return problems


# ------------------------------------------------------------ languages

def check_languages(res_list):
    if not res_list:
        return ["the exe holds no resources"]
    return ["%s has language %d (0x%04X), expected 1041" % (r.describe(), r.lang, r.lang)
            for r in res_list if r.lang != E.LANG_JAPANESE_DEFAULT]


# ------------------------------------------------------------ driver

def windres_listing(exe, windres):
    run = subprocess.run([windres, "-J", "coff", "-i", exe, "-O", "rc"], capture_output=True)
    if run.returncode != 0:
        raise rc_listing.ListingError("%s failed: %s" % (windres, run.stderr.decode("utf-8", "replace")))
    return rc_listing.parse(run.stdout.decode("ascii"))


AREAS = ("pe-headers", "imports", "main-dialog", "main-menu", "version-dialog",
         "icon", "version-info", "languages")


def run_area(area, exe, windres="i686-w64-mingw32-windres"):
    """The differences found in one area (an empty list when all is well)."""
    with open(exe, "rb") as f:
        img = pe.Image(f.read())
    if area == "pe-headers":
        return check_pe_headers(img)
    if area == "imports":
        return check_imports(img)
    if area in ("main-dialog", "main-menu", "version-dialog"):
        listing = windres_listing(exe, windres)
        if area == "main-dialog":
            return check_dialog(listing, E.MAIN_DIALOG)
        if area == "version-dialog":
            return check_dialog(listing, E.VERSION_DIALOG)
        return check_main_menu(listing)
    res_list = pe.resources(img)
    if area == "icon":
        return check_icon(res_list)
    if area == "version-info":
        return check_version_info(res_list)
    if area == "languages":
        return check_languages(res_list)
    raise ValueError("unknown area %s" % area)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("area", choices=AREAS)
    ap.add_argument("--exe", required=True)
    ap.add_argument("--windres", default="i686-w64-mingw32-windres")
    args = ap.parse_args(argv)
    try:
        problems = run_area(args.area, args.exe, args.windres)
    except (pe.PEError, rc_listing.ListingError, struct.error, OSError, ValueError) as e:
        print("%s: cannot read %s: %s" % (args.area, args.exe, e))
        return 1
    for p in problems:
        print("%s: %s" % (args.area, p))
    if problems:
        print("%s: %d difference(s)" % (args.area, len(problems)))
        return 1
    print("%s: ok" % args.area)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
