#!/usr/bin/python3
"""Checks a built wizard without running it: machine type, GUI subsystem, manifest, version resource,
and direct imports limited to system DLLs that Windows never looks for beside the program (the others are
delay-loaded).

usage: check-exe.py EXE i386|amd64 VERSION"""
import sys

import pefile

# Imported directly: DLLs that Windows takes from its known list (the common controls from the side-by-side
# store the manifest names), never from the program's folder.
SYSTEM_DLLS = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
               "ole32.dll", "oleaut32.dll", "shlwapi.dll", "user32.dll"}
# Delay-loaded once the program has limited the DLL search to System32 (cmake/DelayLoad.cmake): imported
# directly, each would be looked for beside the program first. The shell is known to Windows, but no
# first page needs it: delay-loaded, it stays out of the start-up.
DELAY_LOADED = {"crypt32.dll", "gdiplus.dll", "shell32.dll", "version.dll", "winhttp.dll", "wininet.dll"}
MACHINES = {"i386": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
            "amd64": pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]}
MANIFEST_TEXTS = ['level="requireAdministrator"', 'name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"']


def resource(pe, type_id, name_id):
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != type_id:
            continue
        for name in entry.directory.entries:
            if name.id == name_id:
                data = name.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def check(path, machine, version):
    pe = pefile.PE(path)
    faults = []
    if pe.FILE_HEADER.Machine != MACHINES[machine]:
        faults.append(f"machine type {hex(pe.FILE_HEADER.Machine)}, not {machine}")
    if pe.OPTIONAL_HEADER.Subsystem != pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]:
        faults.append(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, not the GUI subsystem")
    manifest = resource(pe, pefile.RESOURCE_TYPE["RT_MANIFEST"], 1)
    if manifest is None:
        faults.append("no manifest")
    else:
        text = manifest.decode("utf-8", "replace")
        faults += [f"manifest lacks {t}" for t in MANIFEST_TEXTS if t not in text]
    versions = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                versions.update({k.decode(): v.decode() for k, v in table.entries.items()})
    if versions.get("FileVersion") != version:
        faults.append(f"version resource says {versions.get('FileVersion')!r}, not {version!r}")
    imports = {entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    faults += [f"imports {dll} directly, not delay-loaded" for dll in sorted(imports & DELAY_LOADED)]
    faults += [f"imports {dll}, not a system DLL" for dll in sorted(imports - SYSTEM_DLLS - DELAY_LOADED)]
    return faults


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[2] not in MACHINES:
        sys.exit(__doc__)
    faults = check(*sys.argv[1:])
    for fault in faults:
        print(f"{sys.argv[1]}: {fault}")
    if not faults:
        print(f"{sys.argv[1]}: {sys.argv[2]}, GUI, administrator, common controls 6, version {sys.argv[3]}, direct imports from the known system DLLs only")
    sys.exit(1 if faults else 0)
