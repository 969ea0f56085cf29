#!/usr/bin/env python3
"""Reads a built WexUTIL.dll (32-bit) or WexUTIL64.dll as a PE file and checks
what other programs see of it: the machine type, the export directory
(module name, names, ordinals, nothing else), the entry point, the import
directory (KERNEL32, USER32, ADVAPI32 and at most msvcrt) and that no
section is shared: a shared section would be writable by every process that
maps the file, in every session and at every integrity level.  Runs on the
build machine, without Wine, on the 32-bit or the 64-bit image:
    check_dll_image.py 32|64 WexUTIL.dll|WexUTIL64.dll
Exit status 0 when all holds."""
import struct
import sys

# The 32-bit image decorates its stdcall names; x64 has one calling
# convention and every name is plain.
EXPORTS_32 = {
    1: "_DllMain@12", 2: "_GetMsgProc@12", 3: "GetRememberedWindow", 4: "GetSettings",
    5: "GetStatistics", 6: "_InstallHook@8", 7: "_JournalPlaybackFunc@12",
    8: "_KeyboardProc@12", 9: "_LeftStillDown@16", 10: "_MouseProc@12",
    11: "PressAndHoldCallBack", 12: "_RemoveHook@0", 13: "SetStatistics", 14: "UpdateSettings",
    15: "UpdateProfiles",
}
EXPORTS_64 = {
    1: "DllMain", 2: "GetMsgProc", 3: "GetRememberedWindow", 4: "GetSettings",
    5: "GetStatistics", 6: "InstallHook", 7: "JournalPlaybackFunc",
    8: "KeyboardProc", 9: "LeftStillDown", 10: "MouseProc",
    11: "PressAndHoldCallBack", 12: "RemoveHook", 13: "SetStatistics", 14: "UpdateSettings",
    15: "UpdateProfiles",
}
# Machine type, optional-header magic, offset of the data directories'
# count in the optional header, and the size of a hook handle.
KINDS = {32: (0x14C, 0x10B, 92, 4), 64: (0x8664, 0x20B, 108, 8)}
MODULE_NAMES = {32: "WexUTIL.dll", 64: "WexUTIL64.dll"}
ALLOWED_IMPORTS = {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll"}
REQUIRED_IMPORTS = {"kernel32.dll", "user32.dll", "advapi32.dll"}
IMAGE_SCN_MEM_SHARED = 0x10000000
IMAGE_SCN_MEM_READ = 0x40000000
IMAGE_SCN_MEM_WRITE = 0x80000000
IMAGE_SCN_CNT_UNINITIALIZED_DATA = 0x80


class Image:
    def __init__(self, data, bits):
        machine_wanted, magic_wanted, dirs_at, _ = KINDS[bits]
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        machine, nsections, _, _, _, optsize, characteristics = struct.unpack_from("<HHIIIHH", data, pe + 4)
        if machine != machine_wanted:
            raise ValueError("machine 0x%x, expected 0x%x" % (machine, machine_wanted))
        if not characteristics & 0x2000:
            raise ValueError("not a DLL")
        opt = pe + 24
        if struct.unpack_from("<H", data, opt)[0] != magic_wanted:
            raise ValueError("optional header magic is not 0x%x" % magic_wanted)
        self.entry = struct.unpack_from("<I", data, opt + 16)[0]
        ndirs = struct.unpack_from("<I", data, opt + dirs_at)[0]
        self.dirs = [struct.unpack_from("<II", data, opt + dirs_at + 4 + 8 * i) for i in range(ndirs)]
        self.sections = []
        for i in range(nsections):
            off = opt + optsize + 40 * i
            name = data[off:off + 8].rstrip(b"\0").decode("ascii", "replace")
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, off + 8)
            flags = struct.unpack_from("<I", data, off + 36)[0]
            self.sections.append((name, va, vsize, rawptr, rawsize, flags))

    def offset(self, rva):
        for _, va, vsize, rawptr, rawsize, _ in self.sections:
            if va <= rva < va + max(vsize, rawsize):
                return rawptr + rva - va
        raise ValueError("rva 0x%x in no section" % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("ascii")

    def exports(self):
        rva, size = self.dirs[0]
        if not rva:
            return None, {}, 0
        off = self.offset(rva)
        (_, _, _, _, name_rva, base, nfuncs, nnames, funcs, names, ordinals) = struct.unpack_from("<IIHHIIIIIII", self.data, off)
        table = {}
        for i in range(nnames):
            name = self.cstring(struct.unpack_from("<I", self.data, self.offset(names) + 4 * i)[0])
            index = struct.unpack_from("<H", self.data, self.offset(ordinals) + 2 * i)[0]
            table[name] = base + index
        live = sum(1 for i in range(nfuncs) if struct.unpack_from("<I", self.data, self.offset(funcs) + 4 * i)[0])
        entry_of = {}
        for name, ordinal in table.items():
            entry_of[name] = struct.unpack_from("<I", self.data, self.offset(funcs) + 4 * (ordinal - base))[0]
        self.export_rvas = entry_of
        return self.cstring(name_rva), table, live

    def imports(self):
        rva, _ = self.dirs[1]
        result = []
        off = self.offset(rva)
        while True:
            desc = struct.unpack_from("<IIIII", self.data, off)
            if not any(desc):
                return result
            result.append(self.cstring(desc[3]))
            off += 20


def main(bits, path):
    image = Image(open(path, "rb").read(), bits)
    expected_exports = EXPORTS_64 if bits == 64 else EXPORTS_32
    failures = []

    module, table, live = image.exports()
    if module != MODULE_NAMES[bits]:
        failures.append("export directory names the module %r" % module)
    by_ordinal = {ordinal: name for name, ordinal in table.items()}
    if by_ordinal != expected_exports:
        for ordinal in sorted(set(by_ordinal) | set(expected_exports)):
            if by_ordinal.get(ordinal) != expected_exports.get(ordinal):
                failures.append("ordinal %d: exported %r, expected %r" % (ordinal, by_ordinal.get(ordinal), expected_exports.get(ordinal)))
    if live != len(expected_exports):
        failures.append("%d live entries in the export address table, expected %d" % (live, len(expected_exports)))
    if image.export_rvas.get(expected_exports[1]) != image.entry:
        failures.append("entry point 0x%x is not %s" % (image.entry, expected_exports[1]))

    imports = [name.lower() for name in image.imports()]
    if not set(imports) <= ALLOWED_IMPORTS or not REQUIRED_IMPORTS <= set(imports):
        failures.append("imports %s" % imports)

    for name, va, vsize, rawptr, rawsize, flags in image.sections:
        if flags & IMAGE_SCN_MEM_SHARED:
            failures.append("section %s is shared (flags 0x%08x)" % (name, flags))

    print("%d-bit image, entry point 0x%x" % (bits, image.entry))
    print("exports (%d):" % len(table))
    for ordinal in sorted(by_ordinal):
        print("  %2d %s" % (ordinal, by_ordinal[ordinal]))
    print("imports: %s" % ", ".join(image.imports()))
    for name, va, vsize, _, _, flags in image.sections:
        print("section %-8s rva 0x%05x size 0x%04x flags 0x%08x" % (name, va, vsize, flags))
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(int(sys.argv[1]), sys.argv[2]))
