#!/usr/bin/env python3
"""Rewrites release archives in canonical form, so that their bytes depend only on their contents:
entries sorted by name, owned by root, files 0644 and programs and folders 0755, every time
SOURCE_DATE_EPOCH (when set), no extra fields, no name or time in a gzip header.

    canonical_archive.py ARCHIVE...    .zip, .tar.gz and .deb, each rewritten in place

CPack (3.25) writes entries in the order the file system lists the folder it packs, which differs
between file systems and machines, and records the builder's user and group; the contents it chose
are kept as they are. A .deb is rebuilt by dpkg-deb, which sorts and, with SOURCE_DATE_EPOCH, dates
reproducibly; its control data (including the dependencies CPack found) is kept.
"""
import gzip
import io
import os
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile
from pathlib import Path


def epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    return int(value) if value else None


def canonical_mode(mode, is_folder):
    return 0o755 if is_folder or mode & 0o111 else 0o644


def rewrite_zip(path):
    with zipfile.ZipFile(path) as old:
        entries = [(info, old.read(info)) for info in old.infolist()]
    stamp = epoch()
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as new:
        for info, data in sorted(entries, key=lambda entry: entry[0].filename):
            folder = info.filename.endswith("/")
            # Zip keeps a local date and time of 2 s steps: the moment in UTC, as every builder sees it.
            date_time = time.gmtime(stamp)[:6] if stamp is not None else info.date_time
            entry = zipfile.ZipInfo(info.filename, date_time=date_time)
            entry.create_system = 3  # Unix, so that the permissions below mean something
            entry.external_attr = (canonical_mode(info.external_attr >> 16, folder) | (0o040000 if folder else 0o100000)) << 16
            if folder:
                entry.external_attr |= 0x10  # the DOS folder flag
            entry.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
            new.writestr(entry, data, compresslevel=9)
    path.write_bytes(out.getvalue())


def rewrite_tar_gz(path):
    with tarfile.open(path, "r:gz") as old:
        entries = [(member, old.extractfile(member).read() if member.isfile() else None) for member in old]
    stamp = epoch()
    tar_bytes = io.BytesIO()
    with tarfile.open(fileobj=tar_bytes, mode="w", format=tarfile.GNU_FORMAT) as new:
        for member, data in sorted(entries, key=lambda entry: entry[0].name):
            member.mode = canonical_mode(member.mode, member.isdir())
            member.uid = member.gid = 0
            member.uname = member.gname = "root"
            if stamp is not None:
                member.mtime = stamp
            new.addfile(member, io.BytesIO(data) if data is not None else None)
    out = io.BytesIO()
    with gzip.GzipFile(filename="", mode="wb", fileobj=out, compresslevel=9, mtime=stamp or 0) as packed:
        packed.write(tar_bytes.getvalue())
    path.write_bytes(out.getvalue())


def rewrite_deb(path):
    with tempfile.TemporaryDirectory() as folder:
        tree = Path(folder) / "tree"
        subprocess.run(["dpkg-deb", "--raw-extract", str(path), str(tree)], check=True)
        for item in [tree, *tree.rglob("*")]:
            if not item.is_symlink():
                item.chmod(canonical_mode(item.stat().st_mode, item.is_dir()))
        rebuilt = Path(folder) / "rebuilt.deb"
        subprocess.run(["dpkg-deb", "--root-owner-group", "-Zgzip", "-z9", "--build", str(tree), str(rebuilt)],
                       check=True, stdout=subprocess.DEVNULL)
        path.write_bytes(rebuilt.read_bytes())


def main(arguments):
    if not arguments:
        print(__doc__.strip())
        return 2
    for name in arguments:
        path = Path(name)
        if path.suffix == ".zip":
            rewrite_zip(path)
        elif path.name.endswith(".tar.gz"):
            rewrite_tar_gz(path)
        elif path.suffix == ".deb":
            rewrite_deb(path)
        else:
            print(f"canonical_archive.py: {name}: not a .zip, .tar.gz or .deb", file=sys.stderr)
            return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
