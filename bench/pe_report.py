#!/usr/bin/env python3
"""Reads two PE images (the product and the bare dialog) and prints, as
lines of `key value...` for bench/run:

  file NAME BYTES
  section NAME PRODUCT_RAW BARE_RAW PRODUCT_VIRTUAL BARE_VIRTUAL
  resource TYPE ID LANG PRODUCT_BYTES BARE_BYTES
  import DLL FUNCTION...            (the product's)
  bare-import DLL FUNCTION...       (the bare dialog's)
  same-resource TYPE ID yes|no      (resources the bare dialog shares)

usage: pe_report.py PRODUCT.exe BARE.exe
"""
import struct
import sys

RESOURCE_TYPES = {1: "CURSOR", 2: "BITMAP", 3: "ICON", 4: "MENU", 5: "DIALOG", 6: "STRING",
                  9: "ACCELERATOR", 10: "RCDATA", 12: "GROUP_CURSOR", 14: "GROUP_ICON",
                  16: "VERSION", 24: "MANIFEST"}


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        self.path = path
        data = self.data
        if data[:2] != b"MZ":
            sys.exit(f"pe_report: {path} is not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            sys.exit(f"pe_report: {path} has no PE header")
        sections, optional_size = struct.unpack_from("<xxHxxxxxxxxxxxxH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.wide = magic == 0x20B
        directories = optional + (112 if self.wide else 96)
        count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, virtual_size, address, raw_size, raw_pointer = struct.unpack_from(
                "<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"),
                                  virtual_size, address, raw_size, raw_pointer))

    def offset(self, rva):
        for _, virtual_size, address, raw_size, raw_pointer in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_pointer + rva - address
        sys.exit(f"pe_report: {self.path}: address {rva:#x} is in no section")

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", "replace")

    def imports(self):
        rva, size = self.directories[1] if len(self.directories) > 1 else (0, 0)
        result = []
        if not rva:
            return result
        at = self.offset(rva)
        width, ordinal_bit = (8, 1 << 63) if self.wide else (4, 1 << 31)
        while True:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, at)
            if not name:
                break
            functions = []
            thunk = self.offset(lookup or first)
            while True:
                entry = struct.unpack_from("<Q" if self.wide else "<I", self.data, thunk)[0]
                if not entry:
                    break
                if entry & ordinal_bit:
                    functions.append(f"#{entry & 0xFFFF}")
                else:
                    functions.append(self.text((entry & 0x7FFFFFFF) + 2))
                thunk += width
            result.append((self.text(name), functions))
            at += 20
        return result

    def resources(self):
        """{(type, id, lang): bytes}"""
        rva = self.directories[2][0] if len(self.directories) > 2 else 0
        found = {}
        if not rva:
            return found
        base = self.offset(rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                if key & 0x80000000:
                    length = struct.unpack_from("<H", self.data, base + (key & 0x7FFFFFFF))[0]
                    start = base + (key & 0x7FFFFFFF) + 2
                    key = self.data[start:start + 2 * length].decode("utf-16-le")
                yield key, target

        for kind, types in entries(0):
            for name, names in entries(types & 0x7FFFFFFF):
                for lang, leaf in entries(names & 0x7FFFFFFF):
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(data_rva)
                    found[(RESOURCE_TYPES.get(kind, kind), name, lang)] = self.data[start:start + size]
        return found


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    product, bare = Image(sys.argv[1]), Image(sys.argv[2])
    for image in (product, bare):
        print("file", image.path, len(image.data))

    names = [s[0] for s in product.sections]
    names += [s[0] for s in bare.sections if s[0] not in names]
    for name in names:
        p = next((s for s in product.sections if s[0] == name), (name, 0, 0, 0, 0))
        b = next((s for s in bare.sections if s[0] == name), (name, 0, 0, 0, 0))
        print("section", name, p[3], b[3], p[1], b[1])

    product_resources, bare_resources = product.resources(), bare.resources()
    for key in sorted(set(product_resources) | set(bare_resources), key=str):
        print("resource", *key, len(product_resources.get(key, b"")), len(bare_resources.get(key, b"")))
    for key in sorted(bare_resources, key=str):
        same = product_resources.get(key) == bare_resources[key]
        print("same-resource", key[0], key[1], "yes" if same else "no")

    for dll, functions in product.imports():
        print("import", dll, *functions)
    for dll, functions in bare.imports():
        print("bare-import", dll, *functions)


if __name__ == "__main__":
    main()
