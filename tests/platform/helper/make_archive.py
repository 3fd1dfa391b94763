"""make_archive.py tgz|zip OUTPUT KIND:NAME[=>TARGET][|KEY=VALUE]...: an archive of hand-made
members, hostile ones included. KIND: f file, x executable, d folder, l symbolic link, h hard link,
c device, s GNU sparse file, g a pax global header (tgz; NAME unused). KEY=VALUE: pax records of the
member, which make the tgz a pax archive (GNU otherwise). "!cut" last: the tgz cut in half;
"!garbage" alone: gzip data that holds no tar archive."""
import gzip
import io
import os
import stat
import sys
import tarfile
import zipfile

MODES = {"f": 0o644, "x": 0o755, "d": 0o755, "l": 0o777, "h": 0o644, "c": 0o644, "s": 0o644}
TAR_TYPES = {"f": tarfile.REGTYPE, "x": tarfile.REGTYPE, "d": tarfile.DIRTYPE,
             "l": tarfile.SYMTYPE, "h": tarfile.LNKTYPE, "c": tarfile.CHRTYPE,
             "s": tarfile.GNUTYPE_SPARSE}
ZIP_TYPES = {"f": stat.S_IFREG, "x": stat.S_IFREG, "d": stat.S_IFDIR, "l": stat.S_IFLNK}


def members(descriptions):
    """KIND:NAME[=>TARGET][|KEY=VALUE]..., one a member."""
    for description in descriptions:
        kind, rest = description.split(":", 1)
        rest, *records = rest.split("|")
        name, _, target = rest.partition("=>")
        yield kind, name, target, dict(record.split("=", 1) for record in records)


def main(form, output, *descriptions):
    if descriptions == ("!garbage",):
        with open(output, "wb") as file:
            file.write(gzip.compress(b"not a tar archive " * 1000))
        return
    cut = descriptions[-1:] == ("!cut",)
    descriptions = descriptions[:-1] if cut else descriptions
    if form == "tgz":
        pax = any("|" in description for description in descriptions)
        entries = list(members(descriptions))
        global_records = {k: v for kind, _, _, records in entries if kind == "g"
                          for k, v in records.items()}
        with tarfile.open(output, "w:gz", pax_headers=global_records,
                          format=tarfile.PAX_FORMAT if pax else tarfile.GNU_FORMAT) as archive:
            for kind, name, target, records in entries:
                if kind == "g":
                    continue
                info = tarfile.TarInfo(name)
                info.type, info.mode, info.linkname = TAR_TYPES[kind], MODES[kind], target
                info.pax_headers = records
                data = name.encode() if kind in "fxs" else b""
                info.size = len(data)
                archive.addfile(info, io.BytesIO(data))
        if cut:
            os.truncate(output, os.path.getsize(output) // 2)
        return
    with zipfile.ZipFile(output, "w") as archive:
        for kind, name, target, _ in members(descriptions):
            info = zipfile.ZipInfo(name)
            info.create_system = 3  # Unix: the mode below is read
            info.external_attr = (ZIP_TYPES[kind] | MODES[kind]) << 16
            archive.writestr(info, target if kind == "l" else "" if kind == "d" else name)


main(*sys.argv[1:])
