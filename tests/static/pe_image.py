"""Reading a 32-bit PE image as plain bytes: headers, sections, the import
table, the resource tree, dialog and menu templates and VS_VERSIONINFO.

Every parser records the file offsets of the fields it reads, so the checker's
own tests can patch one field in a copy of the exe and see the check fail.
"""

import struct

RT_ICON = 3
RT_MENU = 4
RT_DIALOG = 5
RT_GROUP_ICON = 14
RT_VERSION = 16

RESOURCE_TYPE_NAMES = {
    1: "RT_CURSOR", 2: "RT_BITMAP", 3: "RT_ICON", 4: "RT_MENU", 5: "RT_DIALOG",
    6: "RT_STRING", 7: "RT_FONTDIR", 8: "RT_FONT", 9: "RT_ACCELERATOR",
    10: "RT_RCDATA", 11: "RT_MESSAGETABLE", 12: "RT_GROUP_CURSOR",
    14: "RT_GROUP_ICON", 16: "RT_VERSION", 24: "RT_MANIFEST",
}

DIR_IMPORT = 1
DIR_RESOURCE = 2
DIR_DEBUG = 6
DIR_DELAY_IMPORT = 13


class PEError(Exception):
    """The file is not a well-formed PE image."""


def _u16(data, off):
    return struct.unpack_from("<H", data, off)[0]


def _u32(data, off):
    return struct.unpack_from("<I", data, off)[0]


def _need(data, off, size, what):
    if off < 0 or off + size > len(data):
        raise PEError("%s at file offset 0x%x runs past the end of the file" % (what, off))


class Section:
    def __init__(self, name, vaddr, vsize, raw_ptr, raw_size):
        self.name = name
        self.vaddr = vaddr
        self.vsize = vsize
        self.raw_ptr = raw_ptr
        self.raw_size = raw_size


class Image:
    """The headers of a PE file and a way to read bytes at an RVA."""

    def __init__(self, data):
        self.data = data
        _need(data, 0, 0x40, "DOS header")
        if data[:2] != b"MZ":
            raise PEError("no MZ signature")
        self.pe_offset = _u32(data, 0x3C)
        _need(data, self.pe_offset, 24, "PE header")
        if data[self.pe_offset:self.pe_offset + 4] != b"PE\0\0":
            raise PEError("no PE signature at 0x%x" % self.pe_offset)
        coff = self.pe_offset + 4
        self.coff_offset = coff
        (self.machine, nsections, self.timestamp, self.symtab_ptr, self.symbol_count,
         opt_size, self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        opt = coff + 20
        self.opt_offset = opt
        _need(data, opt, opt_size, "optional header")
        self.magic = _u16(data, opt)
        if self.magic == 0x10B:
            # PE32 fields after the standard ones
            self.image_base = _u32(data, opt + 28)
            win = opt + 28
            self.field_offsets = {
                "MajorOperatingSystemVersion": win + 12,
                "MinorOperatingSystemVersion": win + 14,
                "MajorSubsystemVersion": win + 20,
                "MinorSubsystemVersion": win + 22,
                "Subsystem": win + 40,
            }
            dir_count_off = opt + 92
            dirs_off = opt + 96
        elif self.magic == 0x20B:
            win = opt + 24
            self.field_offsets = {
                "MajorOperatingSystemVersion": win + 16,
                "MinorOperatingSystemVersion": win + 18,
                "MajorSubsystemVersion": win + 24,
                "MinorSubsystemVersion": win + 26,
                "Subsystem": win + 44,
            }
            dir_count_off = opt + 108
            dirs_off = opt + 112
        else:
            raise PEError("unknown optional header magic 0x%x" % self.magic)
        self.fields = {k: _u16(data, o) for k, o in self.field_offsets.items()}
        count = _u32(data, dir_count_off)
        self.directories = []
        for i in range(min(count, 16)):
            self.directories.append(struct.unpack_from("<II", data, dirs_off + 8 * i))
        while len(self.directories) < 16:
            self.directories.append((0, 0))

        self.sections = []
        sec = opt + opt_size
        for i in range(nsections):
            off = sec + 40 * i
            _need(data, off, 40, "section header")
            raw_name = data[off:off + 8].rstrip(b"\0").decode("latin-1")
            vsize, vaddr, raw_size, raw_ptr = struct.unpack_from("<IIII", data, off + 8)
            self.sections.append(Section(raw_name, vaddr, vsize, raw_ptr, raw_size))

    def directory(self, index):
        return self.directories[index]

    def rva_to_offset(self, rva):
        for s in self.sections:
            size = max(s.vsize, s.raw_size)
            if s.vaddr <= rva < s.vaddr + size:
                delta = rva - s.vaddr
                if delta >= s.raw_size:
                    raise PEError("RVA 0x%x lies in the uninitialised part of %s" % (rva, s.name))
                return s.raw_ptr + delta
        raise PEError("RVA 0x%x is in no section" % rva)

    def read(self, rva, size):
        off = self.rva_to_offset(rva)
        _need(self.data, off, size, "data at RVA 0x%x" % rva)
        return self.data[off:off + size]

    def cstring(self, rva):
        off = self.rva_to_offset(rva)
        end = self.data.find(b"\0", off)
        if end < 0:
            raise PEError("unterminated string at RVA 0x%x" % rva)
        return self.data[off:end].decode("latin-1")


# ---------------------------------------------------------------- imports

class ImportedDll:
    def __init__(self, name, name_offset):
        self.name = name
        self.name_offset = name_offset
        self.functions = []   # names, or "#<ordinal>" for imports by ordinal
        self.function_offsets = {}


def imports(img):
    """The import descriptors in table order."""
    rva, size = img.directory(DIR_IMPORT)
    result = []
    if rva == 0:
        return result
    desc = rva
    while True:
        lookup, _stamp, _chain, name_rva, first_thunk = struct.unpack("<IIIII", img.read(desc, 20))
        if lookup == 0 and name_rva == 0 and first_thunk == 0:
            break
        dll = ImportedDll(img.cstring(name_rva), img.rva_to_offset(name_rva))
        thunk = lookup or first_thunk
        while True:
            entry = _u32(img.read(thunk, 4), 0)
            if entry == 0:
                break
            if entry & 0x80000000:
                dll.functions.append("#%d" % (entry & 0xFFFF))
            else:
                fname = img.cstring(entry + 2)
                dll.functions.append(fname)
                dll.function_offsets[fname] = img.rva_to_offset(entry + 2)
            thunk += 4
        result.append(dll)
        desc += 20
    return result


# ---------------------------------------------------------------- resources

class Resource:
    """One leaf of the resource tree. type_id and name are ints or strs."""

    def __init__(self, type_id, name, lang, lang_offset, data, data_offset):
        self.type_id = type_id
        self.name = name
        self.lang = lang
        self.lang_offset = lang_offset
        self.data = data
        self.data_offset = data_offset

    def describe(self):
        t = RESOURCE_TYPE_NAMES.get(self.type_id, str(self.type_id))
        return "%s %s" % (t, self.name)


def resources(img):
    """All resources in directory order (the order the loader searches)."""
    base_rva, size = img.directory(DIR_RESOURCE)
    if base_rva == 0:
        return []
    base = img.rva_to_offset(base_rva)
    data = img.data

    def entries(dir_off):
        _need(data, dir_off, 16, "resource directory")
        named, ided = struct.unpack_from("<HH", data, dir_off + 12)
        out = []
        for i in range(named + ided):
            eoff = dir_off + 16 + 8 * i
            name_field, target = struct.unpack_from("<II", data, eoff)
            if name_field & 0x80000000:
                soff = base + (name_field & 0x7FFFFFFF)
                n = _u16(data, soff)
                key = data[soff + 2:soff + 2 + 2 * n].decode("utf-16-le")
            else:
                key = name_field
            out.append((key, target, eoff))
        return out

    result = []
    for type_id, t_target, _ in entries(base):
        if not t_target & 0x80000000:
            raise PEError("resource type %r is not a directory" % (type_id,))
        for name, n_target, _ in entries(base + (t_target & 0x7FFFFFFF)):
            if not n_target & 0x80000000:
                raise PEError("resource %r/%r is not a directory" % (type_id, name))
            for lang, l_target, l_entry in entries(base + (n_target & 0x7FFFFFFF)):
                if l_target & 0x80000000:
                    raise PEError("resource %r/%r/%r nests too deep" % (type_id, name, lang))
                leaf = base + l_target
                _need(data, leaf, 16, "resource data entry")
                d_rva, d_size = struct.unpack_from("<II", data, leaf)
                d_off = img.rva_to_offset(d_rva)
                _need(data, d_off, d_size, "resource data")
                result.append(Resource(type_id, name, lang, l_entry,
                                       data[d_off:d_off + d_size], d_off))
    return result


def find_resources(res_list, type_id, name=None):
    return [r for r in res_list if r.type_id == type_id and (name is None or r.name == name)]


# ---------------------------------------------------------------- templates

def _sz_or_ord(data, off):
    """A name-or-ordinal field: returns (int or str, offset after it)."""
    first = _u16(data, off)
    if first == 0xFFFF:
        return _u16(data, off + 2), off + 4
    chars = []
    while True:
        c = _u16(data, off)
        off += 2
        if c == 0:
            break
        chars.append(c)
    return "".join(chr(c) for c in chars), off


def dialog_template(data):
    """A plain DLGTEMPLATE. Returns None for a DLGTEMPLATEEX.

    Each control is a dict of its values and 'offset', the template-relative
    offset of its DLGITEMTEMPLATE, 'text_offset', that of its text field, and
    'size', the bytes up to the next control.
    """
    if _u16(data, 0) == 1 and _u16(data, 2) == 0xFFFF:
        return None
    style, exstyle, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
    off = 18
    menu, off = _sz_or_ord(data, off)
    cls, off = _sz_or_ord(data, off)
    title, off = _sz_or_ord(data, off)
    font = None
    if style & 0x40:
        size = _u16(data, off)
        face, off = _sz_or_ord(data, off + 2)
        font = (size, face)
    controls = []
    for _ in range(count):
        off = (off + 3) & ~3
        start = off
        c_style, c_ex, c_x, c_y, c_w, c_h, c_id = struct.unpack_from("<IIhhhhH", data, off)
        off += 18
        c_cls, off = _sz_or_ord(data, off)
        text_offset = off
        c_text, off = _sz_or_ord(data, off)
        extra = _u16(data, off)
        off += 2 + extra
        controls.append({"style": c_style, "exstyle": c_ex, "x": c_x, "y": c_y,
                         "w": c_w, "h": c_h, "id": c_id, "class": c_cls,
                         "text": c_text, "offset": start, "text_offset": text_offset})
    for i, c in enumerate(controls):
        end = controls[i + 1]["offset"] if i + 1 < len(controls) else len(data)
        c["size"] = end - c["offset"]
    return {"style": style, "exstyle": exstyle, "x": x, "y": y, "w": cx, "h": cy,
            "menu": menu, "class": cls, "caption": title, "font": font,
            "controls": controls}


def menu_template(data):
    """A plain MENU template as [(text, id or [items], flags, offset)]."""
    version, header = struct.unpack_from("<HH", data, 0)
    if version != 0:
        return None
    pos = [4 + header]

    def items():
        out = []
        while True:
            start = pos[0]
            flags = _u16(data, start)
            off = start + 2
            ident = None
            if not flags & 0x10:       # MF_POPUP
                ident = _u16(data, off)
                off += 2
            text, off = _sz_or_ord(data, off)
            pos[0] = off
            if flags & 0x10:
                out.append((text, items(), flags & ~0x90, start))
            else:
                out.append((text, ident, flags & ~0x80, start))
            if flags & 0x80:            # MF_END
                return out
    return items()


# ---------------------------------------------------------------- version info

def version_nodes(data, off=0, end=None):
    """The VS_VERSIONINFO tree: a list of nodes
    {'key', 'type', 'value' (bytes), 'value_length', 'children', 'offset'}."""
    if end is None:
        end = len(data)
    nodes = []
    while off + 6 <= end:
        length, value_length, vtype = struct.unpack_from("<HHH", data, off)
        if length == 0:
            break
        node_end = min(off + length, end)
        p = off + 6
        key_chars = []
        while p + 2 <= node_end:
            c = _u16(data, p)
            p += 2
            if c == 0:
                break
            key_chars.append(chr(c))
        p = (p + 3) & ~3
        value_bytes = value_length * 2 if vtype == 1 else value_length
        value = data[p:p + value_bytes]
        vstart = p
        p = (p + value_bytes + 3) & ~3
        children = version_nodes(data, p, node_end) if p < node_end else []
        nodes.append({"key": "".join(key_chars), "type": vtype, "value": value,
                      "value_length": value_length, "value_offset": vstart,
                      "children": children, "offset": off})
        off = (off + length + 3) & ~3
    return nodes


def version_string(node):
    """A String node's text without its terminating zero."""
    raw = node["value"]
    if node["type"] == 1:
        text = raw.decode("utf-16-le", errors="replace")
    else:
        text = raw.decode("latin-1")
    return text.split("\0", 1)[0]
