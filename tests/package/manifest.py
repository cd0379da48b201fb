#!/usr/bin/env python3
"""Prints what a Windows executable's manifest resource says, one line:

    MACHINE IDENTITY-NAME IDENTITY-VERSION IDENTITY-ARCH DEPENDENCY=ARCH ...

MACHINE is the PE header's (i386, amd64). The manifest is read out of the
resource section as Windows' loader finds it (type 24, the first id, the
first language), so what is checked is what the built file carries, not the
source it came from.

Usage: manifest.py EXE
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
MACHINES = {0x14C: "i386", 0x8664: "amd64"}
ASM = "{urn:schemas-microsoft-com:asm.v1}"


class Pe:
    def __init__(self, data):
        self.data = data
        at = struct.unpack_from("<I", data, 0x3C)[0]
        if data[at:at + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", data, at + 4)
        self.machine = MACHINES.get(machine, hex(machine))
        optional = at + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        # The data directories follow the optional header's fixed part,
        # which is longer in PE32+.
        directories = optional + (112 if magic == 0x20B else 96)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, vsize, rva, raw_size, raw_at = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((rva, max(vsize, raw_size), raw_at))

    def offset(self, rva):
        for start, size, raw_at in self.sections:
            if start <= rva < start + size:
                return raw_at + rva - start
        raise ValueError("address %#x is in no section" % rva)

    def entries(self, directory):
        """(id or None for a name, rva of the entry's target, is a directory)."""
        at = self.offset(self.resource_rva) + directory
        named, ids = struct.unpack_from("<HH", self.data, at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
            yield (None if name & 0x80000000 else name), target & 0x7FFFFFFF, bool(target & 0x80000000)

    def resource(self, type_id):
        if not self.resource_rva:
            return None
        for rid, sub, is_dir in self.entries(0):
            if rid != type_id or not is_dir:
                continue
            for _, names, names_dir in self.entries(sub):
                for _, leaf, leaf_dir in self.entries(names) if names_dir else []:
                    if leaf_dir:
                        continue
                    rva, size = struct.unpack_from("<II", self.data, self.offset(self.resource_rva) + leaf)
                    at = self.offset(rva)
                    return self.data[at:at + size]
        return None


def main():
    with open(sys.argv[1], "rb") as f:
        pe = Pe(f.read())
    text = pe.resource(RT_MANIFEST)
    if text is None:
        print(pe.machine, "no-manifest")
        return
    root = ET.fromstring(text)
    identity = root.find(ASM + "assemblyIdentity")
    words = [pe.machine]
    words += [identity.get(k, "-") for k in ("name", "version", "processorArchitecture")] if identity is not None else ["no-identity"]
    for dep in root.iter(ASM + "dependentAssembly"):
        d = dep.find(ASM + "assemblyIdentity")
        words.append("%s=%s" % (d.get("name"), d.get("processorArchitecture", "-")))
    print(" ".join(words))


if __name__ == "__main__":
    main()
