#!/usr/bin/env python3
"""Writes the release zip and its checksum file.

    make_zip.py --version V --exe Sonafeed.exe --out DIST

The zip holds one folder named like the zip: the exe and the texts of release/, each text in
code page 936 with CR LF line ends, so that Notepad on any Chinese Windows shows it as it is.
Entry names are stored in code page 936 too, as Explorer on a Chinese Windows reads names
without the UTF-8 flag; an Info-ZIP Unicode path field carries the same names for other tools.
Times come from SOURCE_DATE_EPOCH (else the commit's time) and the order is fixed, so the same
commit gives the same bytes.
"""
import argparse
import hashlib
import os
import struct
import subprocess
import time
import zipfile
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
RELEASE = ROOT / "release"
# In the order the zip lists them.
TEXTS = ["使用说明.txt", "设置开机自启.cmd", "取消开机自启.cmd", "LICENSE.txt",
         "THIRD-PARTY-NOTICES.txt"]
UNICODE_PATH_FIELD = 0x7075
FILE_ATTRIBUTES, FOLDER_ATTRIBUTES = 0x20, 0x10  # archive; directory


class Cp936Info(zipfile.ZipInfo):
    """An entry whose name is stored in code page 936, without the UTF-8 flag."""

    def __init__(self, name, date_time, attributes):
        super().__init__(name, date_time)
        self.create_system = 0  # MS-DOS: the attributes are Windows file attributes
        self.external_attr = attributes
        self.compress_type = zipfile.ZIP_STORED if name.endswith("/") else zipfile.ZIP_DEFLATED
        utf8 = name.encode("utf-8")
        self.extra = struct.pack("<HHBI", UNICODE_PATH_FIELD, 5 + len(utf8), 1,
                                 zlib.crc32(name.encode("cp936"))) + utf8

    def _encodeFilenameFlags(self):
        return self.filename.encode("cp936"), self.flag_bits


def git(*args):
    return subprocess.run(["git", "-C", str(ROOT), *args], check=True, capture_output=True,
                          text=True).stdout.strip()


def windows_text(path):
    """A text of release/ (UTF-8, LF) as Notepad reads it: code page 936, CR LF."""
    return path.read_text(encoding="utf-8").replace("\r\n", "\n").replace("\n", "\r\n") \
        .encode("cp936")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True)
    parser.add_argument("--exe", required=True, type=Path)
    parser.add_argument("--out", required=True, type=Path)
    args = parser.parse_args()

    # The commit's hash, never a tag's name; a tree with uncommitted changes is not the commit,
    # and its name says so.
    commit = git("rev-parse", "--short=7", "HEAD")
    if git("status", "--porcelain", "--untracked-files=no"):
        commit += "-dirty"
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH") or git("log", "-1", "--format=%ct"))
    date_time = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    top = f"Sonafeed-{args.version}-{commit}-win32"
    files = [("Sonafeed.exe", args.exe.read_bytes())]
    files += [(name, windows_text(RELEASE / name)) for name in TEXTS]

    args.out.mkdir(parents=True, exist_ok=True)
    zip_path = args.out / f"{top}.zip"
    with zipfile.ZipFile(zip_path, "w") as archive:
        archive.writestr(Cp936Info(f"{top}/", date_time, FOLDER_ATTRIBUTES), b"")
        for name, data in files:
            archive.writestr(Cp936Info(f"{top}/{name}", date_time, FILE_ATTRIBUTES), data,
                             compresslevel=9)
    digest = hashlib.sha256(zip_path.read_bytes()).hexdigest()
    (args.out / "SHA256SUMS.txt").write_text(f"{digest}  {zip_path.name}\n", encoding="ascii")
    print(f"{zip_path}\nSHA-256 {digest}")


if __name__ == "__main__":
    main()
