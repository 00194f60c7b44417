#!/usr/bin/env python3
"""The static checker's own test: copies palvorine.exe, breaks one thing in
the copy (a header field, an import name, a control's id, text, style or
place, the control order, a menu id, the icon, the version resource, a
resource language) and expects the check of that area to fail with a
message naming what differs.

  test_checker.py --exe palvorine.exe [--windres i686-w64-mingw32-windres]
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import check_exe              # noqa: E402
import pe_image as pe         # noqa: E402

EXE = None
WINDRES = "i686-w64-mingw32-windres"


class Patched:
    """A writable copy of the exe with helpers to find fields in it."""

    def __init__(self, workdir, name):
        self.path = os.path.join(workdir, name + ".exe")
        shutil.copyfile(EXE, self.path)
        with open(self.path, "rb") as f:
            self.data = bytearray(f.read())
        self.img = pe.Image(bytes(self.data))
        self.res = pe.resources(self.img)

    def resource(self, type_id, name):
        found = pe.find_resources(self.res, type_id, name)
        if not found:
            raise AssertionError("the exe has no resource %d/%r to break" % (type_id, name))
        return found[0]

    def put16(self, off, value):
        struct.pack_into("<H", self.data, off, value)

    def put32(self, off, value):
        struct.pack_into("<I", self.data, off, value)

    def get32(self, off):
        return struct.unpack_from("<I", self.data, off)[0]

    def replace_text(self, start, old, new, encoding="utf-16-le"):
        """Overwrites the first `old` at or after start with `new` (same size)."""
        ob, nb = old.encode(encoding), new.encode(encoding)
        assert len(ob) == len(nb), "replacement must keep the size"
        off = self.data.find(ob, start)
        if off < 0:
            raise AssertionError("%r not found in the exe" % old)
        self.data[off:off + len(ob)] = nb

    def dialog(self, ident):
        r = self.resource(pe.RT_DIALOG, ident)
        t = pe.dialog_template(r.data)
        if t is None:
            raise AssertionError("dialog %d is not a plain DIALOG" % ident)
        return r.data_offset, t

    def control_offset(self, ident, number):
        base, t = self.dialog(ident)
        return base + t["controls"][number - 1]["offset"]

    def save(self):
        with open(self.path, "wb") as f:
            f.write(self.data)
        return self.path


class CheckerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="static-check-")
        self.addCleanup(self.tmp.cleanup)

    def copy(self):
        return Patched(self.tmp.name, self.id().rsplit(".", 1)[-1])

    def assertCaught(self, area, exe, *needles):
        problems = check_exe.run_area(area, exe, WINDRES)
        text = "\n".join(problems)
        self.assertTrue(problems, "%s reported no difference for the broken copy" % area)
        for n in needles:
            self.assertIn(n, text, "%s did not name %r; it reported:\n%s" % (area, n, text))


class PeHeaderFaults(CheckerTest):
    def test_header_fields(self):
        # (field, value, words the message must hold)
        cases = [
            ("MajorSubsystemVersion", 5, ("subsystem version is 5.0", "expected 4.0")),
            ("MinorSubsystemVersion", 10, ("subsystem version is 4.10",)),
            ("MajorOperatingSystemVersion", 6, ("OS version is 6.0",)),
            ("Subsystem", 3, ("subsystem is 3", "Windows GUI")),
        ]
        for field, value, needles in cases:
            with self.subTest(field=field):
                p = self.copy()
                p.put16(p.img.field_offsets[field], value)
                self.assertCaught("pe-headers", p.save(), *needles)

    def test_machine(self):
        p = self.copy()
        p.put16(p.img.coff_offset, 0x8664)
        self.assertCaught("pe-headers", p.save(), "machine is 0x8664")

    def test_symbols_left_in(self):
        p = self.copy()
        p.put32(p.img.coff_offset + 8, 0x4000)
        p.put32(p.img.coff_offset + 12, 120)
        self.assertCaught("pe-headers", p.save(), "symbol table", "120 symbols")

    def test_debug_directory(self):
        p = self.copy()
        p.put32(p.img.opt_offset + 96 + 8 * pe.DIR_DEBUG + 4, 28)
        self.assertCaught("pe-headers", p.save(), "debug directory")


class ImportFaults(CheckerTest):
    def dll(self, p, name):
        for d in pe.imports(p.img):
            if d.name.upper() == name:
                return d
        raise AssertionError("the exe does not import %s" % name)

    def test_wide_function(self):
        p = self.copy()
        off = self.dll(p, "USER32.DLL").function_offsets["MessageBoxA"]
        p.replace_text(off, "MessageBoxA", "MessageBoxW", "ascii")
        self.assertCaught("imports", p.save(), "MessageBoxW", "wide-character",
                          "USER32.DLL!MessageBoxA is not imported")

    def test_post_98_function(self):
        p = self.copy()
        kernel = self.dll(p, "KERNEL32.DLL")
        name = next(n for n in ("TlsGetValue", "TlsSetValue") if n in kernel.function_offsets)
        p.replace_text(kernel.function_offsets[name], name, "Fls" + name[3:], "ascii")
        self.assertCaught("imports", p.save(), "Fls" + name[3:], "Windows 98")

    def test_foreign_dll(self):
        p = self.copy()
        d = self.dll(p, "MSVCRT.DLL")
        p.replace_text(d.name_offset, d.name, "msvcrx.dll", "ascii")
        self.assertCaught("imports", p.save(), "imports DLL msvcrx.dll", "does not import MSVCRT.DLL")


class MainDialogFaults(CheckerTest):
    def test_control_fields(self):
        # (control number, byte offset in its DLGITEMTEMPLATE, size, value, words)
        cases = [
            (3, 16, 2, 1010, ("control #3", "id is 1010, expected 1000")),
            (10, 10, 2, 123, ("control #10", "y is 123, expected 122")),
            (21, 8, 2, 88, ("control #21", "x is 88, expected 87")),
            (18, 12, 2, 218, ("control #18", "w is 218, expected 219")),
            (5, 14, 2, 12, ("control #5", "h is 12, expected 13")),
            # WS_TABSTOP cleared on the owner field
            (6, 0, 4, 0x50800080, ("control #6", "missing WS_TABSTOP")),
            # ES_READONLY set on the organisation field
            (5, 0, 4, 0x50810880, ("control #5", "extra ES_READONLY")),
            # OK turned into a plain push button
            (1, 0, 4, 0x50010000, ("control #1", "type BS_PUSHBUTTON, expected BS_DEFPUSHBUTTON")),
            # a label left-aligned instead of right-aligned
            (11, 0, 4, 0x50020200, ("control #11", "type SS_LEFT, expected SS_RIGHT")),
            (2, 4, 4, 0x200, ("control #2", "extended style 0x200")),
        ]
        for number, field, size, value, needles in cases:
            with self.subTest(control=number, field=field):
                p = self.copy()
                off = p.control_offset(129, number) + field
                (p.put16 if size == 2 else p.put32)(off, value)
                self.assertCaught("main-dialog", p.save(), *needles)

    def test_texts_keep_their_width(self):
        # (control number, old text, new text of the same length, words)
        cases = [
            (1, "ＯＫ", "OK", ("control #1", "U+004F LATIN CAPITAL LETTER O",
                               "expected U+FF2F FULLWIDTH LATIN CAPITAL LETTER O")),
            (2, "ｷｬﾝｾﾙ", "キｬﾝｾﾙ", ("control #2", "U+30AD KATAKANA LETTER KI",
                                   "HALFWIDTH KATAKANA LETTER KI")),
            (13, "会社名　：", "会社名 ：", ("control #13", "U+0020 SPACE",
                                        "U+3000 IDEOGRAPHIC SPACE")),
            (17, "Plus!　", "Plus! ", ("control #17", "character 6")),
            (24, "ワークグループ　：", "ワークグループ　:", ("control #24", "U+003A COLON",
                                                "U+FF1A FULLWIDTH COLON")),
        ]
        for number, old, new, needles in cases:
            with self.subTest(control=number):
                p = self.copy()
                p.replace_text(p.control_offset(129, number), old, new)
                self.assertCaught("main-dialog", p.save(), *needles)

    def test_control_order(self):
        p = self.copy()
        base, t = p.dialog(129)
        a, b = t["controls"][3], t["controls"][4]        # edits 1001 and 1002
        self.assertEqual(a["size"], b["size"], "controls #4 and #5 differ in size; pick another pair")
        sa, sb = base + a["offset"], base + b["offset"]
        first, second = bytes(p.data[sa:sa + a["size"]]), bytes(p.data[sb:sb + b["size"]])
        p.data[sa:sa + a["size"]] = second
        p.data[sb:sb + b["size"]] = first
        self.assertCaught("main-dialog", p.save(), "control #4", "expected at #5", "out of order")

    def test_dialog_fields(self):
        # (offset in the template, size, value, words)
        cases = [
            (0, 4, 0x80CB00C0, ("dialog 129", "extra WS_MAXIMIZEBOX")),
            (0, 4, 0x80CA0040, ("dialog 129", "missing DS_MODALFRAME")),
            (4, 4, 0x00000100, ("dialog 129", "extended style 0x100")),
            (12, 2, 11, ("dialog 129", "position and size are 10, 11, 223 x 197")),
            (16, 2, 196, ("position and size are 10, 10, 223 x 196",)),
        ]
        for off, size, value, needles in cases:
            with self.subTest(offset=off):
                p = self.copy()
                base, _ = p.dialog(129)
                (p.put16 if size == 2 else p.put32)(base + off, value)
                self.assertCaught("main-dialog", p.save(), *needles)

    def test_caption_font_and_menu(self):
        p = self.copy()
        base, t = p.dialog(129)
        p.replace_text(base, "Palvorine", "PalvorinE")
        self.assertCaught("main-dialog", p.save(), "caption", "character 9")

        p = self.copy()
        base, _ = p.dialog(129)
        face = p.data.find("ＭＳ Ｐゴシック".encode("utf-16-le"), base)
        p.put16(face - 2, 8)
        self.assertCaught("main-dialog", p.save(), "font size 8, expected 9")

        p = self.copy()
        base, _ = p.dialog(129)
        p.replace_text(base, "ＭＳ Ｐ", "ＭＳ　Ｐ")
        self.assertCaught("main-dialog", p.save(), "font face", "U+3000")

        p = self.copy()
        base, _ = p.dialog(129)
        # the menu field follows the 18-byte header as 0xFFFF, ordinal
        self.assertEqual(struct.unpack_from("<HH", p.data, base + 18), (0xFFFF, 109))
        p.put16(base + 20, 110)
        self.assertCaught("main-dialog", p.save(), "menu is ordinal 110, expected menu 109")

    def test_language(self):
        p = self.copy()
        r = p.resource(pe.RT_DIALOG, 129)
        p.put32(r.lang_offset, 0x0409)
        self.assertCaught("main-dialog", p.save(), "dialog 129 has language 1033, expected 1041")


class VersionDialogFaults(CheckerTest):
    def test_icon_reference(self):
        p = self.copy()
        base, t = p.dialog(103)
        off = base + t["controls"][0]["text_offset"]
        # the text field holds the icon as 0xFFFF, ordinal
        self.assertEqual(struct.unpack_from("<HH", p.data, off), (0xFFFF, 107))
        p.put16(off + 2, 108)
        self.assertCaught("version-dialog", p.save(), "control #1",
                          "content is ordinal 108, expected a reference to icon 107")

    def test_fields(self):
        cases = [
            ("text", lambda p: p.replace_text(p.control_offset(103, 2), "Palvorine  V", "Palvorine V "),
             ("control #2", "character 11")),
            ("id", lambda p: p.put16(p.control_offset(103, 1) + 16, 1),
             ("control #1", "id is 1, expected 2")),
            ("style", lambda p: p.put32(p.control_offset(103, 3), 0x50010001),
             ("control #3", "missing WS_GROUP")),
            ("free line place", lambda p: p.put16(p.control_offset(103, 5) + 12, 73),
             ("control #5", "w is 73, expected 72")),
            ("free line style", lambda p: p.put32(p.control_offset(103, 4), 0x50020080),
             ("control #4", "extra SS_NOPREFIX")),
            ("caption", lambda p: p.replace_text(p.dialog(103)[0], "ﾊﾞｰｼﾞｮﾝ情報", "ハﾞｰｼﾞｮﾝ情報"),
             ("caption", "character 1 is U+30CF KATAKANA LETTER HA")),
            ("font", lambda p: p.put16(p.data.find("ＭＳ Ｐゴシック".encode("utf-16-le"),
                                                   p.dialog(103)[0]) - 2, 9),
             ("font size 9, expected 11",)),
            ("style", lambda p: p.put32(p.dialog(103)[0], 0x80C800C0),
             ("dialog 103", "extra WS_POPUP")),
        ]
        for name, patch, needles in cases:
            with self.subTest(name=name):
                p = self.copy()
                patch(p)
                self.assertCaught("version-dialog", p.save(), *needles)


class MenuFaults(CheckerTest):
    def items(self, p):
        r = p.resource(pe.RT_MENU, 109)
        menu = pe.menu_template(r.data)
        self.assertIsNotNone(menu, "menu 109 is not a plain MENU")
        return r.data_offset, menu

    def test_command_id(self):
        p = self.copy()
        base, menu = self.items(p)
        item = menu[0][1][0]               # the exit command
        self.assertEqual(item[1], 105)
        p.put16(base + item[3] + 2, 106)
        self.assertCaught("main-menu", p.save(), "item #1", "command id is 106, expected 105")

    def test_texts(self):
        cases = [
            ("ﾌｧｲﾙ(&F)", "フｧｲﾙ(&F)", ("popup #1", "U+30D5 KATAKANA LETTER HU")),
            ("ﾊﾞｰｼﾞｮﾝ情報(&A)", "ﾊﾞｰｼﾞｮﾝ情報(&B)", ("popup #2 ", "item #1", "character 12")),
        ]
        for old, new, needles in cases:
            with self.subTest(text=old):
                p = self.copy()
                base, _ = self.items(p)
                p.replace_text(base, old, new)
                self.assertCaught("main-menu", p.save(), *needles)

    def test_item_flags(self):
        p = self.copy()
        base, menu = self.items(p)
        item = menu[1][1][0]
        flags = struct.unpack_from("<H", p.data, base + item[3])[0]
        p.put16(base + item[3], flags | 0x0001)      # MF_GRAYED
        self.assertCaught("main-menu", p.save(), "popup #2", "options")


class IconFaults(CheckerTest):
    def group(self, p):
        return p.resource(pe.RT_GROUP_ICON, 107).data_offset

    def test_group_entries(self):
        # (entry, offset in the 14-byte entry, size, value, words)
        cases = [
            (0, 6, 2, 8, ("image #1", "8 bits per pixel, expected 4")),
            (1, 2, 1, 0, ("image #2", "0 colours, expected 16")),
            (1, 0, 1, 24, ("image #2", "bitmap is 16 x 32, expected 24 x 32")),
        ]
        for entry, field, size, value, needles in cases:
            with self.subTest(entry=entry, field=field):
                p = self.copy()
                off = self.group(p) + 6 + 14 * entry + field
                if size == 1:
                    p.data[off] = value
                else:
                    p.put16(off, value)
                self.assertCaught("icon", p.save(), *needles)

    def test_image_count(self):
        p = self.copy()
        p.put16(self.group(p) + 4, 1)
        self.assertCaught("icon", p.save(), "holds 1 images, expected 2")

    def test_bitmap_depth(self):
        p = self.copy()
        r = p.resource(pe.RT_ICON, struct.unpack_from("<H", p.data, self.group(p) + 6 + 12)[0])
        p.put16(r.data_offset + 14, 8)
        self.assertCaught("icon", p.save(), "image #1", "bitmap has 8 bits per pixel")

    def test_first_group(self):
        p = self.copy()
        # group 107 renamed 106 in the type's directory
        self.assertEqual(len(pe.find_resources(p.res, pe.RT_GROUP_ICON)), 1)
        rva, _ = p.img.directory(pe.DIR_RESOURCE)
        base = p.img.rva_to_offset(rva)
        named, ided = struct.unpack_from("<HH", p.data, base + 12)
        for i in range(named + ided):
            name, target = struct.unpack_from("<II", p.data, base + 16 + 8 * i)
            if name == pe.RT_GROUP_ICON:
                sub = base + (target & 0x7FFFFFFF)
                self.assertEqual(struct.unpack_from("<I", p.data, sub + 16)[0], 107)
                p.put32(sub + 16, 106)
        self.assertCaught("icon", p.save(), "first icon group is 106, expected 107")


class VersionInfoFaults(CheckerTest):
    def version(self, p):
        return p.resource(pe.RT_VERSION, 1)

    def test_fields(self):
        def fixed(p, index, value):
            r = self.version(p)
            at = r.data_offset + r.data.find(struct.pack("<I", 0xFEEF04BD))
            p.put32(at + 4 * index, value)

        def translation(p, value):
            r = self.version(p)
            at = r.data.find(struct.pack("<HH", 0x0411, 932), r.data.find("Translation".encode("utf-16-le")))
            p.put32(r.data_offset + at, value)

        cases = [
            ("FILEVERSION", lambda p: fixed(p, 2, 0x00010001), ("FILEVERSION is 1.1.0.0",)),
            ("PRODUCTVERSION", lambda p: fixed(p, 5, 1), ("PRODUCTVERSION is 1.0.0.1",)),
            ("signature", lambda p: fixed(p, 0, 0), ("no VS_FIXEDFILEINFO",)),
            ("block", lambda p: p.replace_text(self.version(p).data_offset, "041103a4", "040904b0"),
             ('"040904b0"', 'expected a block "041103a4"')),
            ("ProductName", lambda p: p.replace_text(
                self.version(p).data_offset + self.version(p).data.find(
                    "ProductName".encode("utf-16-le")) + 24, "Palvorine", "Palvorina"),
             ('ProductName is "Palvorina"',)),
            ("FileVersion", lambda p: p.replace_text(
                self.version(p).data_offset + self.version(p).data.find(
                    "FileVersion".encode("utf-16-le")) + 24, "1.0", "2.0"),
             ('FileVersion string is "2.0', 'start with "1.0"')),
            ("Translation", lambda p: translation(p, 0x04E40409),
             ("Translation is 0x0409, 1252",)),
        ]
        for name, patch, needles in cases:
            with self.subTest(name=name):
                p = self.copy()
                patch(p)
                self.assertCaught("version-info", p.save(), *needles)


class ListingFaults(CheckerTest):
    """Faults that a byte patch cannot make, written into windres's listing."""

    def listing(self):
        run = subprocess.run([WINDRES, "-J", "coff", "-i", EXE, "-O", "rc"], capture_output=True, check=True)
        return run.stdout.decode("ascii")

    def test_extended_dialog(self):
        text = self.listing()
        start = text.index("129 DIALOG ")
        end = text.index("\nEND", start)
        block = text[start:end].replace("129 DIALOG ", "129 DIALOGEX ").replace(", 65535,", ", -1,")
        problems = check_exe.check_dialog(check_exe.rc_listing.parse(text[:start] + block + text[end:]),
                                          check_exe.E.MAIN_DIALOG)
        # the kind alone is wrong: -1 ids of a DIALOGEX are the labels' 65535
        self.assertEqual(problems, ["dialog 129 is a DIALOGEX, expected a plain DIALOG"])

    def test_missing_and_extra_controls(self):
        text = self.listing()
        label = 'L"\\x4f1a\\x793e\\x540d\\x3000\\xff1a"'       # 会社名　：
        lines = text.split("\n")
        kept = [ln for ln in lines if label not in ln]
        self.assertEqual(len(kept), len(lines) - 1, "the label's line is not in the listing")
        problems = check_exe.check_dialog(check_exe.rc_listing.parse("\n".join(kept)),
                                          check_exe.E.MAIN_DIALOG)
        self.assertEqual(problems, [
            "dialog 129 has 23 controls, expected 24",
            'dialog 129: expected control #13 (id 65535 STATIC "会社名　：") is missing'])

        ok = '  CONTROL "OK", 1, "BUTTON"'
        self.assertIn(ok, text)
        text = text.replace(ok, '  CONTROL "x", 1200, "STATIC", 0x50000000, 1, 1, 5, 5\n' + ok)
        problems = check_exe.check_dialog(check_exe.rc_listing.parse(text), check_exe.E.VERSION_DIALOG)
        self.assertEqual(problems, [
            "dialog 103 has 6 controls, expected 5",
            'dialog 103 control #3 (id 1200 STATIC "x") matches no expected control'])

    def test_extended_menu(self):
        text = self.listing().replace("109 MENU\n", "109 MENUEX\n")
        problems = check_exe.check_main_menu(check_exe.rc_listing.parse(text))
        self.assertEqual(problems, ["menu 109 is a MENUEX, expected a plain MENU"])

    def test_second_language(self):
        text = self.listing()
        start = text.index("129 DIALOG ")
        end = text.index("\nEND", start) + 4
        text += "\nLANGUAGE 9, 1\n\n" + text[start:end] + "\n"
        problems = check_exe.check_dialog(check_exe.rc_listing.parse(text), check_exe.E.MAIN_DIALOG)
        self.assertEqual(problems, ["dialog 129 exists in 2 languages (1041, 1033), expected one"])


class LanguageFaults(CheckerTest):
    def test_each_type(self):
        cases = [(pe.RT_ICON, 2, "RT_ICON 2"), (pe.RT_MENU, 109, "RT_MENU 109"),
                 (pe.RT_VERSION, 1, "RT_VERSION 1"), (pe.RT_GROUP_ICON, 107, "RT_GROUP_ICON 107")]
        for type_id, name, label in cases:
            with self.subTest(resource=label):
                p = self.copy()
                p.put32(p.resource(type_id, name).lang_offset, 0x0409)
                self.assertCaught("languages", p.save(), label + " has language 1033")


def main():
    global EXE, WINDRES
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--windres", default=WINDRES)
    args, rest = ap.parse_known_args()
    EXE, WINDRES = os.path.abspath(args.exe), args.windres
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
