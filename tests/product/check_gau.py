#!/usr/bin/python3
"""Checks the two product modules, byte for byte, as the simulator will see them.

Usage: check_gau.py korvane3.gau vantric.gau

It reads each PE file with pefile and checks the export table, the import
table, every byte of the exported records and of the records they point to
(pointer fields through their base relocations), and the bitmap resource.
Exits non-zero with one line per failure.
"""
import struct
import sys

import pefile

SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "user32.dll", "dsound.dll", "winmm.dll"}
MMIO_ROUTINES = {"mmioOpenA", "mmioClose", "mmioRead", "mmioSeek", "mmioDescend", "mmioAscend",
                 "mmioGetInfo", "mmioSetInfo", "mmioAdvance"}

EXPECTED = {
    "korvane3": {"interface": 0x900, "name": b"korvane3", "size": 20, "bitmap": 256, "flags": 0x83,
                 "mouse": False, "same_init_deinit": False, "trailing_zero_words": 1,
                 "winmm": True, "ppm": 7874, "colours": 0},
    "vantric": {"interface": 0x800, "name": b"TRIM", "size": 10, "bitmap": 1000, "flags": 0x01,
                "mouse": True, "same_init_deinit": True, "trailing_zero_words": 0,
                "winmm": False, "ppm": 0, "colours": 256},
}


class Checker:
    def __init__(self, path, module):
        self.path = path
        self.module = module
        self.expect = EXPECTED[module]
        self.pe = pefile.PE(path)
        self.base = self.pe.OPTIONAL_HEADER.ImageBase
        self.failures = []
        self.relocated = set()
        for block in getattr(self.pe, "DIRECTORY_ENTRY_BASERELOC", []):
            for entry in block.entries:
                if entry.type == pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]:
                    self.relocated.add(entry.rva)

    def fail(self, what):
        self.failures.append("%s: %s" % (self.module, what))

    def check(self, condition, what):
        if not condition:
            self.fail(what)
        return condition

    def word(self, rva):
        return struct.unpack("<I", self.pe.get_data(rva, 4))[0]

    def zeros(self, rva, count, what):
        data = self.pe.get_data(rva, count)
        self.check(data == bytes(count), "%s: bytes at rva 0x%x not all zero" % (what, rva))

    def plain_word(self, rva, value, what):
        """A 32-bit value that is not a pointer: right value, no relocation."""
        self.check(self.word(rva) == value, "%s is 0x%x, want 0x%x" % (what, self.word(rva), value))
        self.check(rva not in self.relocated, "%s must not be relocated" % what)

    def pointer(self, rva, what, null=False):
        """A pointer field: null and unrelocated, or relocated and inside the image. Returns its RVA."""
        value = self.word(rva)
        if null:
            self.check(value == 0, "%s should be null, is 0x%x" % (what, value))
            self.check(rva not in self.relocated, "null %s must not be relocated" % what)
            return None
        self.check(rva in self.relocated, "%s has no base relocation" % what)
        target = value - self.base
        self.check(0 < target < self.pe.OPTIONAL_HEADER.SizeOfImage, "%s points outside the image" % what)
        return target

    def section_of(self, rva):
        for section in self.pe.sections:
            if section.VirtualAddress <= rva < section.VirtualAddress + max(section.Misc_VirtualSize, section.SizeOfRawData):
                return section
        return None

    def code_pointer(self, rva, what):
        target = self.pointer(rva, what)
        section = self.section_of(target) if target else None
        self.check(section is not None and section.Characteristics & 0x20000000,
                   "%s does not point into executable code" % what)
        return target

    def run(self):
        self.check_exports()
        self.check_imports()
        self.check_records()
        self.check_bitmap()
        return self.failures

    def check_exports(self):
        exports = {s.name.decode(): s.address for s in self.pe.DIRECTORY_ENTRY_EXPORT.symbols}
        self.check(sorted(exports) == ["ImportTable", "Linkage"], "exports are %s" % sorted(exports))
        for name, rva in exports.items():
            section = self.section_of(rva)
            self.check(section is not None and not section.Characteristics & 0x20000000
                       and section.Characteristics & 0x80000000,
                       "%s is not in a writable data section" % name)
        self.exports = exports

    def check_imports(self):
        imports = {entry.dll.decode().lower(): entry.imports for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        for dll in imports:
            self.check(dll in SYSTEM_DLLS, "imports from %s, which is not a system DLL" % dll)
        dsound = imports.get("dsound.dll", [])
        self.check([(i.name, i.ordinal) for i in dsound] == [(None, 1)],
                   "dsound.dll imports %s, want ordinal 1 alone" % [(i.name, i.ordinal) for i in dsound])
        if self.expect["winmm"]:
            names = {i.name.decode() for i in imports.get("winmm.dll", []) if i.name}
            self.check(MMIO_ROUTINES <= names, "winmm.dll lacks %s" % sorted(MMIO_ROUTINES - names))
        else:
            self.check("winmm.dll" not in imports, "imports winmm.dll")

    def check_records(self):
        e = self.expect
        table = self.exports["ImportTable"]
        self.plain_word(table, 0x0F, "ImportTable entry id")
        self.pointer(table + 4, "ImportTable services", null=True)
        self.zeros(table + 8, 8, "ImportTable end")

        linkage = self.exports["Linkage"]
        self.plain_word(linkage, 0x13, "Linkage module id")
        init = self.code_pointer(linkage + 4, "Linkage init routine")
        deinit = self.code_pointer(linkage + 8, "Linkage deinit routine")
        self.check((init == deinit) == e["same_init_deinit"],
                   "init and deinit routines %s" % ("differ" if e["same_init_deinit"] else "are the same"))
        for routine in {init, deinit}:
            if routine:
                # An empty __stdcall routine without arguments is a bare return.
                self.check(self.pe.get_data(routine, 1) == b"\xc3", "module routine at 0x%x is not empty" % routine)
        self.zeros(linkage + 12, 8, "Linkage 12..19")
        self.plain_word(linkage + 20, e["interface"], "Linkage interface version")
        header = self.pointer(linkage + 24, "Linkage gauge header")
        self.pointer(linkage + 28, "Linkage end of headers", null=True)
        if header:
            self.check_header(header)

    def check_header(self, header):
        e = self.expect
        self.plain_word(header, 0x320, "header version")
        name = self.pointer(header + 4, "gauge name")
        if name:
            self.check(self.pe.get_data(name, len(e["name"]) + 1) == e["name"] + b"\0", "gauge name")
        elements = self.pointer(header + 8, "element list")
        for n in range(7):
            self.code_pointer(header + 12 + 4 * n, "standard routine %d" % (n + 1))
        self.zeros(header + 40, 4, "header 40")
        self.plain_word(header + 44, e["size"], "header size value")
        self.zeros(header + 48, 32, "header 48..79")
        mouse = self.pointer(header + 80, "mouse rectangles", null=not e["mouse"])
        self.code_pointer(header + 84, "GaugeCallback")
        self.zeros(header + 88, 4, "header 88")
        self.pointer(header + 92, "parameter string", null=True)
        self.zeros(header + 96, 104 + 4 * e["trailing_zero_words"], "header 96..end")
        if elements:
            element = self.pointer(elements, "first element")
            self.pointer(elements + 4, "end of element list", null=True)
            if element:
                self.check_element(element, header)
        if mouse:
            for index, kind in enumerate([1, 3, 0]):
                rect = mouse + 44 * index
                self.plain_word(rect, kind, "mouse rectangle %d type" % (index + 1))
                self.zeros(rect + 4, 16, "mouse rectangle %d 4..19" % (index + 1))
                self.plain_word(rect + 20, 0xFFFFFFFF, "mouse rectangle %d word 20" % (index + 1))
                self.zeros(rect + 24, 20, "mouse rectangle %d 24..43" % (index + 1))

    def check_element(self, element, header):
        e = self.expect
        self.plain_word(element, 0, "element type")
        self.plain_word(element + 4, e["bitmap"], "element bitmap id")
        self.zeros(element + 8, 24, "element 8..31")
        self.check(self.pointer(element + 32, "element header") == header, "element names another header")
        self.zeros(element + 36, 4, "element 36")
        self.pointer(element + 40, "further elements", null=True)
        self.zeros(element + 44, 4, "element 44")
        self.plain_word(element + 48, e["flags"], "element image flags")
        self.zeros(element + 52, 44, "element 52..95")

    def check_bitmap(self):
        e = self.expect
        found = []
        for kind in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            for name in kind.directory.entries:
                for language in name.directory.entries:
                    found.append((kind.id, name.id, language.data.struct))
        self.check([(k, n) for k, n, _ in found] == [(2, e["bitmap"])],
                   "resources are %s, want one bitmap %d" % ([(k, n) for k, n, _ in found], e["bitmap"]))
        if not found:
            return
        entry = found[0][2]
        data = self.pe.get_data(entry.OffsetToData, entry.Size)
        if not self.check(len(data) == 1184, "bitmap is %d bytes, want 1184" % len(data)):
            return
        fields = struct.unpack("<IiiHHIIiiII", data[:40])
        want = (40, 10, 10, 1, 8, 0, 120, e["ppm"], e["ppm"], e["colours"], e["colours"])
        self.check(fields == want, "bitmap header %s, want %s" % (fields, want))
        palette = [tuple(data[40 + 4 * i: 44 + 4 * i]) for i in range(256)]
        if self.module == "korvane3":
            want_palette = [(i, i, i, 0) for i in range(256)]
        else:
            levels = [0, 51, 102, 153, 204, 255]
            want_palette = []
            for index in range(256):
                if index < 216:
                    green, red, blue = index // 36, (index // 6) % 6, index % 6
                    want_palette.append((levels[blue], levels[green], levels[red], 0))
                else:
                    want_palette.append((0, 0, 0, 0))
        self.check(palette == want_palette, "bitmap palette differs")
        self.check(data[1064:] == bytes(120), "bitmap pixels are not all index 0")


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    failures = []
    for path, module in zip(argv[1:], ["korvane3", "vantric"]):
        failures += Checker(path, module).run()
    for failure in failures:
        print("FAIL " + failure)
    print("%d passed, %d failed" % (2 - len({f.split(':')[0] for f in failures}), len({f.split(':')[0] for f in failures})))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
