"""Checks a built module file with llvm-readobj, on the build machine.

Corvane.dll: imports from exactly the host's, the system's and the Microsoft runtime's DLLs,
each host function from its own DLL and no GNU-mangled name; exports the two entry points only;
an x64 DLL with 64-bit ASLR and DEP; its CodeView record names Corvane.pdb; its version
resource carries VERSION and the original file name. libCorvane.so: exports the two entry
points and no other function.

Usage: check-module-image.py READOBJ MODULE VERSION (prints each failed check, exits 1)
"""
import re
import struct
import subprocess
import sys

IMPORTED_DLLS = {  # lower case, as the loader compares them: the host's, the system's and the
    # Microsoft C and C++ runtime (never a GNU runtime or msvcrt.dll)
    "kxutilities.dll", "appcore.dll", "ui.dll", "prefs.dll", "kxtool32.dll", "kernel32.dll",
    "wininet.dll", "ole32.dll", "oleaut32.dll", "vcruntime140.dll", "ucrtbase.dll",
}
HOST_IMPORTS = [  # decorated names, each from the one DLL that defines it
    ("kxutilities.dll", "?GetOps@Util@@YAAEAVOps@1@XZ"),
    ("kxutilities.dll", "?GetStatusMessage@Status@Util@@QEBAAEBVTString@2@XZ"),
    ("appcore.dll", "?ApproveAll@ApproveLaunchFeature@@QEBA?AVStatus@Util@@XZ"),
    ("appcore.dll", "??0SequencedAppMsg@@QEAA@XZ"),
    ("ui.dll", "??0CNotificationBase@@IEAA@H@Z"),
    ("ui.dll", "??1CNotificationBase@@MEAA@XZ"),
    ("prefs.dll", "?GetCurrentUser@@YAPEAVCUser@@XZ"),
    ("kxtool32.dll", "?GetKXDataIniFileName@@YAPEBDXZ"),
]
PE_EXPORTS = {"InvokeWebTsm", "?OnFirstTimeSetup@WebTSMManager@@QEAAXXZ"}
ELF_EXPORTS = {"InvokeWebTsm", "_ZN13WebTSMManager16OnFirstTimeSetupEv"}

failures = []


def check(passed, what):
    if not passed:
        failures.append(what)


def field(block, name):
    found = re.search(rf"^\s*{name}: (.*)$", block, re.M)
    return found.group(1).strip() if found else None


def check_pe(out, version):
    imports = {}  # DLL -> the names imported from it, ordinary and delay-loaded alike
    for block in re.findall(r"^(?:Delay)?Import \{\n(.*?)^\}", out, re.M | re.S):
        names = imports.setdefault(field(block, "Name").lower(), set())
        names.update(re.findall(r"^\s*Symbol: (\S+)", block, re.M))
    check(set(imports) == IMPORTED_DLLS,
          f"imports from {sorted(imports)}, expected {sorted(IMPORTED_DLLS)}")
    mangled = sorted(n for names in imports.values() for n in names if n.startswith("_Z"))
    check(not mangled, f"GNU-mangled imports: {mangled}")
    for dll, name in HOST_IMPORTS:
        suppliers = sorted(d for d, names in imports.items() if name in names)
        check(suppliers == [dll], f"{name} imported from {suppliers}, expected {dll}")

    exports = [(field(b, "Name"), int(field(b, "RVA"), 16))
               for b in re.findall(r"^Export \{\n(.*?)^\}", out, re.M | re.S)]
    named = {name for name, _ in exports if name}
    by_ordinal = [rva for name, rva in exports if not name and rva != 0]
    check(named == PE_EXPORTS and not by_ordinal,
          f"exports {sorted(named)} and {len(by_ordinal)} by ordinal only")

    check("IMAGE_FILE_MACHINE_AMD64" in out, "not an x64 image")
    check("IMAGE_FILE_DLL " in out, "not a DLL")
    for flag in ("DYNAMIC_BASE", "HIGH_ENTROPY_VA", "NX_COMPAT"):
        check(f"IMAGE_DLL_CHARACTERISTICS_{flag} " in out, f"{flag} is clear")

    pdb = re.search(r"Type: CodeView .*?PDBSignature: 0x53445352\n.*?PDBFileName: (.*?)$",
                    out, re.M | re.S)  # an RSDS record
    check(pdb and re.split(r"[/\\]", pdb.group(1))[-1] == "Corvane.pdb",
          f"CodeView record names {pdb and pdb.group(1)}, not Corvane.pdb")

    dump = re.search(r"Type: VERSIONINFO .*?Data \(\n(.*?)\n\s*\)", out, re.S)
    data = bytes.fromhex("".join(re.findall(r"^\s*[0-9A-F]+: ([0-9A-F ]+?)\s+\|", dump.group(1),
                                            re.M))) if dump else b""
    fixed = data.find(b"\xbd\x04\xef\xfe")  # VS_FIXEDFILEINFO's signature
    if fixed < 0 or fixed + 16 > len(data):
        check(False, "no version resource with fixed file information")
        return
    high, low = struct.unpack_from("<II", data, fixed + 8)
    expected = tuple((int(part) for part in version.split("."))) + (0,) * 4
    check((high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF) == expected[:4],
          f"file version {high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}, not {version}")
    original = re.search(r"OriginalFilename\0+([^\0]*)\0", data.decode("utf-16-le", "replace"))
    check(original and original.group(1) == "Corvane.dll",
          f"OriginalFilename is {original and original.group(1)}, not Corvane.dll")


def check_elf(out):
    exported = set()
    for block in re.findall(r"^  Symbol \{\n(.*?)^  \}", out, re.M | re.S):
        name = re.sub(r" \(\d+\)$", "", field(block, "Name"))
        if (field(block, "Type").startswith("Function")
                and field(block, "Binding").split()[0] in ("Global", "Weak")
                and not field(block, "Section").startswith("Undefined")
                and name not in ("_init", "_fini")):  # the linker's, in every shared object
            exported.add(name)
    check(exported == ELF_EXPORTS, f"exports the functions {sorted(exported)}")


def main(readobj, module, version):
    with open(module, "rb") as image:
        is_pe = image.read(2) == b"MZ"
    options = (["--file-headers", "--coff-imports", "--coff-exports", "--coff-debug-directory",
                "--coff-resources"] if is_pe else ["--dyn-syms"])
    out = subprocess.run([readobj, *options, module], check=True, capture_output=True,
                         text=True).stdout
    check_pe(out, version) if is_pe else check_elf(out)
    print("\n".join(f"FAILED: {module}: {failure}" for failure in failures)
          or "module image checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
