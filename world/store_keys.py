"""The keys of the local store, made on the host with openssl and kept under the build folder:
a test certificate authority, and a certificate for www.quillbay.com signed by it; and a second
authority that the sandbox does not trust, with a certificate for the same host.

  FOLDER/trust/   bound over the sandbox's /etc/ssl/certs: the authority alone, with its hash
                  link (what Qt and OpenSSL look up) and as ca-certificates.crt (what curl reads)
  FOLDER/server/  bound at SERVER_KEYS_INSIDE: the server's certificate and key (server.*), and
                  the certificate and key from the untrusted authority (untrusted.*)"""

import fcntl
import shutil
import subprocess
from collections import namedtuple
from pathlib import Path

HOST = "www.quillbay.com"
SERVER_KEYS_INSIDE = "/run/store-keys"
Keys = namedtuple("Keys", "trust server")

_DAY = 86400


def _openssl(*arguments, cwd):
    subprocess.run(["openssl", *arguments], cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _valid(certificate):
    """The certificate exists and stays valid for another day."""
    return certificate.is_file() and subprocess.run(
        ["openssl", "x509", "-checkend", str(_DAY), "-noout", "-in", str(certificate)],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


_KEY = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]


def _authority_and_server(work, authority, name):
    """A certificate authority (name.ca.*) and a certificate for HOST that it signs (name.*)."""
    _openssl("req", "-x509", *_KEY, "-keyout", f"{name}.ca.key", "-out", f"{name}.ca.pem",
             "-days", "3650", "-subj", f"/CN={authority}",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=work)
    _openssl("req", "-new", *_KEY, "-keyout", f"{name}.key", "-out", f"{name}.csr",
             "-subj", f"/CN={HOST}", cwd=work)
    (work / "server.ext").write_text(f"subjectAltName=DNS:{HOST}\nbasicConstraints=CA:FALSE\n"
                                     "extendedKeyUsage=serverAuth\n")
    _openssl("x509", "-req", "-in", f"{name}.csr", "-CA", f"{name}.ca.pem", "-CAkey",
             f"{name}.ca.key", "-CAcreateserial", "-days", "825", "-extfile", "server.ext",
             "-out", f"{name}.pem", cwd=work)


def _make(folder):
    work = folder / "work"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    _authority_and_server(work, "Quillbay Test Authority", "server")
    # The same host name from an authority nobody trusts: a store that TLS must refuse.
    _authority_and_server(work, "Untrusted Test Authority", "untrusted")
    (work / "ca.pem").write_bytes((work / "server.ca.pem").read_bytes())

    trust = work / "trust"
    trust.mkdir()
    shutil.copy(work / "ca.pem", trust / "quillbay-test-authority.pem")
    shutil.copy(work / "ca.pem", trust / "ca-certificates.crt")
    _openssl("rehash", str(trust), cwd=work)
    server = work / "server"
    server.mkdir()
    for name in ("server.pem", "server.key", "untrusted.pem", "untrusted.key"):
        shutil.copy(work / name, server / name)

    for name in ("trust", "server"):
        shutil.rmtree(folder / name, ignore_errors=True)
        (work / name).rename(folder / name)
    shutil.rmtree(work)


def ensure(folder):
    """The keys under folder, made when missing or about to expire; safe for parallel runs."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    with open(folder / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (not _valid(folder / "server/server.pem") or not _valid(folder / "server/untrusted.pem")
                or not (folder / "trust").is_dir()):
            _make(folder)
        for key in ("server.key", "untrusted.key"):  # test keys; the store may run as anyone
            (folder / "server" / key).chmod(0o644)
    return Keys(folder / "trust", folder / "server")
