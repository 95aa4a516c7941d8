"""Writes a reproducible zip and its .sha256 beside it.

    make_zip.py ZIP FOLDER NAME...

The entries are FOLDER/NAME, in the order given, at the zip's top level.
Every entry gets the same time (SOURCE_DATE_EPOCH, else the time of the
commit checked out in the working folder, else 1 January 1980), mode 0644,
no extra fields, and deflate at level 9: two runs on the same files give the
same bytes, whenever they run.  ZIP.sha256 is written in the format of
sha256sum.
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC, the earliest time a zip entry holds


def source_date_epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value:
        return int(value)
    try:
        out = subprocess.run(["git", "log", "-1", "--format=%ct"], capture_output=True,
                             text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return ZIP_EPOCH


def main(zip_path, folder, names):
    stamp = time.gmtime(max(source_date_epoch(), ZIP_EPOCH))[:6]
    with zipfile.ZipFile(zip_path + ".tmp", "w") as archive:
        for name in names:
            entry = zipfile.ZipInfo(name, date_time=stamp)
            entry.create_system = 0  # MS-DOS: no Unix owner or time fields
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(os.path.join(folder, name), "rb") as f:
                archive.writestr(entry, f.read(), compresslevel=9)
    os.replace(zip_path + ".tmp", zip_path)
    with open(zip_path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(zip_path + ".sha256", "w", newline="\n") as f:
        f.write(f"{digest}  {os.path.basename(zip_path)}\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
