#!/usr/bin/python3
"""Checks the Authenticode signature of a built program with osslsigncode: it verifies against the given CA,
not against an unrelated one, and not once a byte of the signed content has changed.

usage: check-signature.py EXE CA_FILE"""
import os
import shutil
import subprocess
import sys
import tempfile

import pefile


def verify(path, ca_file):
    """osslsigncode's verdict: (passed, its output)."""
    run = subprocess.run(["osslsigncode", "verify", "-CAfile", ca_file, "-in", path],
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return run.returncode == 0 and "Signature verification: ok" in run.stdout, run.stdout


def other_ca(folder):
    key, cert = os.path.join(folder, "other.key"), os.path.join(folder, "other.crt")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Other CA",
                    "-keyout", key, "-out", cert], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert


def version_resource_offset(path):
    """File offset of the version resource's fixed information (bytes the signature covers and Windows reads),
    and the size of the certificate table."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"],
                               pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]])
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    resources = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    for entry in resources:
        if entry.id == pefile.RESOURCE_TYPE["RT_VERSION"]:
            data = entry.directory.entries[0].directory.entries[0].data.struct
            return pe.get_offset_from_rva(data.OffsetToData) + 40, security.Size
    return None, security.Size


def check(path, ca_file):
    faults = []
    passed, output = verify(path, ca_file)
    if not passed:
        return [f"does not verify against {ca_file}:\n{output}"]
    offset, signature_size = version_resource_offset(path)
    if signature_size == 0:
        faults.append("verified, yet has no certificate table")
    if offset is None:
        return faults + ["no version resource"]
    with tempfile.TemporaryDirectory() as folder:
        if verify(path, other_ca(folder))[0]:
            faults.append("verifies against an unrelated CA too")
        tampered = os.path.join(folder, "tampered.exe")
        shutil.copyfile(path, tampered)
        with open(tampered, "r+b") as f:
            f.seek(offset)
            byte = f.read(1)
            f.seek(offset)
            f.write(bytes([byte[0] ^ 0x01]))
        if verify(tampered, ca_file)[0]:
            faults.append("still verifies with a byte of its version resource changed")
    return faults


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    faults = check(*sys.argv[1:])
    for fault in faults:
        print(f"{sys.argv[1]}: {fault}")
    if not faults:
        print(f"{sys.argv[1]}: signed, verifies against {sys.argv[2]} only, and not once changed")
    sys.exit(1 if faults else 0)
