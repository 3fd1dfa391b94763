"""make_archive.py tgz|zip OUTPUT KIND:NAME[=>TARGET]...: an archive of hand-made members, hostile
ones included. KIND: f file, x executable, d folder, l symbolic link, h hard link, c device."""
import io
import stat
import sys
import tarfile
import zipfile

MODES = {"f": 0o644, "x": 0o755, "d": 0o755, "l": 0o777, "h": 0o644, "c": 0o644}
TAR_TYPES = {"f": tarfile.REGTYPE, "x": tarfile.REGTYPE, "d": tarfile.DIRTYPE,
             "l": tarfile.SYMTYPE, "h": tarfile.LNKTYPE, "c": tarfile.CHRTYPE}
ZIP_TYPES = {"f": stat.S_IFREG, "x": stat.S_IFREG, "d": stat.S_IFDIR, "l": stat.S_IFLNK}


def members(descriptions):
    """KIND:NAME or KIND:NAME=>TARGET, one a member."""
    for description in descriptions:
        kind, rest = description.split(":", 1)
        name, _, target = rest.partition("=>")
        yield kind, name, target


def main(form, output, *descriptions):
    if form == "tgz":
        with tarfile.open(output, "w:gz", format=tarfile.GNU_FORMAT) as archive:
            for kind, name, target in members(descriptions):
                info = tarfile.TarInfo(name)
                info.type, info.mode, info.linkname = TAR_TYPES[kind], MODES[kind], target
                data = name.encode() if kind in "fx" else b""
                info.size = len(data)
                archive.addfile(info, io.BytesIO(data))
        return
    with zipfile.ZipFile(output, "w") as archive:
        for kind, name, target in members(descriptions):
            info = zipfile.ZipInfo(name)
            info.create_system = 3  # Unix: the mode below is read
            info.external_attr = (ZIP_TYPES[kind] | MODES[kind]) << 16
            archive.writestr(info, target if kind == "l" else "" if kind == "d" else name)


main(*sys.argv[1:])
