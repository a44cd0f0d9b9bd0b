#!/usr/bin/env python3
"""Packs a folder into a zip that has the same bytes wherever it is made.

    pack_zip.py ZIP BASE FOLDER

ZIP gets FOLDER (a path under BASE, stored relative to BASE) with every file
and folder under it. Entries are in sorted order, whatever order the file
system lists them in; every entry is dated SOURCE_DATE_EPOCH (the time now
when it is unset), written as UTC whatever the time zone; modes are 0755 for
folders and 0644 for files, with no owners, access times or other extra
fields. The zip is written beside ZIP and renamed into place, so a failed run
leaves no half-written zip.
"""
import os
import sys
import time
import zipfile


def entry(name, when, is_dir):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(when)[:6])
    info.create_system = 3  # Unix: the modes below are read
    info.external_attr = ((0o40755 if is_dir else 0o100644) << 16) | (0x10 if is_dir else 0)
    info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
    return info


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: pack_zip.py ZIP BASE FOLDER\n")
        return 2
    zip_path, base, folder = argv[1:]
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    when = int(epoch) if epoch.isdigit() else int(time.time())
    # Zip dates begin in 1980.
    when = max(when, 315532800)

    names = []
    for root, dirs, files in os.walk(os.path.join(base, folder)):
        rel = os.path.relpath(root, base).replace(os.sep, "/")
        names.append((rel + "/", True))
        names.extend((rel + "/" + f, False) for f in files)
    names.sort()

    partial = zip_path + ".partial"
    try:
        with zipfile.ZipFile(partial, "w") as z:
            for name, is_dir in names:
                info = entry(name, when, is_dir)
                if is_dir:
                    z.writestr(info, b"")
                else:
                    with open(os.path.join(base, name), "rb") as f:
                        z.writestr(info, f.read(), compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
        os.replace(partial, zip_path)
    except OSError as e:
        if os.path.exists(partial):
            os.unlink(partial)
        sys.stderr.write("pack_zip.py: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
