#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus into tests/fuzz/corpus.

The container seeds are the frozen containers of tests/vectors, each whole,
cut inside its header, at the header's end and inside its body, and grown by
one byte and by 64. A seed's first byte chooses the password and the output
name as tests/fuzz/fuzz_support.h reads it: bits 0-1 the password (the
vector's own where it is one of PASSWORDS), bits 2-3 the output name. The
name seeds are the paths of the naming rules' tables.

    tools/make_fuzz_corpus.py
"""

import pathlib
import shutil
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
VECTORS = ROOT / "tests" / "vectors"
CORPUS = ROOT / "tests" / "fuzz" / "corpus"
# As kPasswords in tests/fuzz/fuzz_support.h, in the same order.
PASSWORDS = ["a", "0123456789abcdef", "парола", "абвгдежзийклмноп"]
NAMES = ["D:\\data\\report.txt", "D:\\data\\archive.tar.gz",
         "D:\\data.old\\readme", "D:\\data\\notes.", "D:\\data\\.crypt",
         "report", "D:\\data\\FILE.CRYPT", "/home/d.crypt/readme",
         "/out/report.TXT", "/out/mytxt", "/out/report.doc",
         "/out/отчет.тхт"]


def header_length(container):
    (password_length,) = struct.unpack_from("<i", container, 0)
    at = 4 + 2 * password_length
    (extension_length,) = struct.unpack_from("<i", container, at)
    return at + 4 + max(extension_length, 0) + 4


def main():
    for folder in ("container", "names"):
        shutil.rmtree(CORPUS / folder, ignore_errors=True)
        (CORPUS / folder).mkdir(parents=True)
    lines = (VECTORS / "manifest.txt").read_text(encoding="utf-8").splitlines()
    rows = [line.split("\t") for line in lines if line and line[0] != "#"]
    for index, (container_name, _, password, _) in enumerate(rows):
        container = (VECTORS / container_name).read_bytes()
        p = PASSWORDS.index(password) if password in PASSWORDS else 0
        seed = bytes([p | ((index % 4) << 2)]) + container
        header = 1 + header_length(container)
        variants = {"whole": seed, "grown1": seed + b"x",
                    "grown64": seed + b"\xa5" * 64}
        for cut in sorted({4, header // 2, header, (header + len(seed)) // 2}):
            if cut < len(seed):
                variants[f"cut{cut}"] = seed[:cut]
        for suffix, data in variants.items():
            (CORPUS / "container" / f"v{index}-{suffix}").write_bytes(data)
    for index, name in enumerate(NAMES):
        (CORPUS / "names" / f"name{index}").write_bytes(name.encode())
    print(f"seeds written to {CORPUS}")


if __name__ == "__main__":
    main()
