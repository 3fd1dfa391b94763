"""Real server software in the sandbox's network namespace, from the system's own packages: nginx
answering as www.quillbay.com in place of the local store, and squid as the session's proxy.
Each runs as the player, with its configuration, logs and files under /tmp and /results.

  served = servers.start_nginx({"feed": "tgz"}, tls="TLSv1.3", http2=True)
  served.paths(), served.events("answered")   # as the local store's Running has them
  served.kill_worker()                         # every connection it serves is cut at once
  proxy = servers.start_squid(); proxy.env     # the variables that make squid the proxy
  proxy.tunnels()                              # ["www.quillbay.com:443", ...]"""

import json
import os
import shutil
import signal
import socket
import subprocess
from pathlib import Path

import store
import world

NGINX, SQUID = "/usr/sbin/nginx", "/usr/sbin/squid"
PROXY_PORT = 3128

# One JSON line per answer. The scheme and event make it read as the local store's log does.
NGINX_LOG_FORMAT = """'{"scheme":"https","path":"$uri","status":"$status",'
    '"range":"$http_range","if_range":"$http_if_range","bytes":$body_bytes_sent,'
    '"content_range":"$sent_http_content_range","length":"$sent_http_content_length",'
    '"protocol":"$server_protocol","tls":"$ssl_protocol",'
    '"encoding":"$sent_http_content_encoding","transfer":"$sent_http_transfer_encoding"}'"""

NGINX_CONF = """daemon off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {results}/nginx-error.log info;
events {{ worker_connections 64; }}
http {{
    log_format answers escape=json {log_format};
    access_log {results}/nginx-answers.jsonl answers;
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    types {{ application/xml xml; application/x-gzip tgz; application/zip zip; }}
    # The feed goes compressed, and so without a length: chunked on HTTP/1.1.
    gzip on;
    gzip_types application/xml;
    gzip_min_length 0;
    server {{
        listen 443 ssl{http2};
        server_name {host};
        ssl_certificate {keys}/server.pem;
        ssl_certificate_key {keys}/server.key;
        ssl_protocols {tls};
        root {work}/root;
        {rate}
    }}
}}
"""

SQUID_CONF = """http_port 127.0.0.1:{port}
visible_hostname proxy.invalid
pid_filename {work}/squid.pid
cache_log {results}/squid-cache.log
access_log stdio:{results}/squid-access.log
coredump_dir {work}
cache deny all
pinger_enable off
shutdown_lifetime 0 seconds
dns_nameservers 127.0.0.1
http_access allow localhost
http_access deny all
"""


def _listening(port):
    with socket.socket() as probe:
        return probe.connect_ex(("127.0.0.1", port)) == 0


def _ready(port, process, what, log):
    """Waits until something listens on port; raises, pointing at log, when it does not."""
    world.wait_until(lambda: process.poll() is not None or _listening(port), 20, interval=0.05)
    if process.poll() is not None or not _listening(port):
        raise RuntimeError(f"{what} did not start: see {log}")


class Nginx:
    """nginx serving the feed and archives of a local store's scenario (its feed and files) on
    443; rate: bytes a second for each answer past its first 64 KiB."""

    def __init__(self, scenario, tls, http2, rate, results=world.RESULTS):
        self.work = Path("/tmp/nginx")
        self.answers_path = Path(results) / "nginx-answers.jsonl"
        self.log_path = Path(results) / "nginx-error.log"
        shutil.rmtree(self.work, ignore_errors=True)
        root = self.work / "root"
        files = dict(store.DEFAULT_FILES, **scenario.get("files", {}))
        feed = store.feed_body(scenario.get("feed", "tgz"), files)
        (root / store.FEED_PATH.lstrip("/")).parent.mkdir(parents=True)
        (root / store.FEED_PATH.lstrip("/")).write_bytes(feed)
        for path, kind in files.items():
            (root / path.lstrip("/")).write_bytes(store.archive(kind))
        limit = f"limit_rate_after 64k; limit_rate {rate};" if rate else ""
        config = self.work / "nginx.conf"
        config.write_text(NGINX_CONF.format(
            work=self.work, results=results, log_format=NGINX_LOG_FORMAT, host=store.HOST,
            keys=store.KEYS, tls=tls, http2=" http2" if http2 else "", rate=limit))
        self.process = subprocess.Popen([NGINX, "-e", str(self.log_path), "-c", str(config)],
                                        stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _ready(443, self.process, "nginx", self.log_path)

    def events(self, event="request"):
        """Each answer as the local store logs its requests ("request": path, headers) and
        answers ("answered": bytes sent, the whole body's length), with nginx's own fields."""
        found = []
        lines = self.answers_path.read_text().splitlines() if self.answers_path.exists() else []
        for answer in map(json.loads, lines):
            headers = {"Range": answer["range"], "If-Range": answer["if_range"]}
            whole = answer["content_range"].rpartition("/")[2] or answer["length"] or "0"
            found.append(dict(answer, event=event, length=int(whole),
                              headers={k: v for k, v in headers.items() if v}))
        return found

    def paths(self):
        return [f"https:{e['path']}" for e in self.events()]

    def kill_worker(self):
        """Kills the worker serving now, cutting its connections without a TLS closing alert;
        nginx starts another."""
        children = Path(f"/proc/{self.process.pid}/task/{self.process.pid}/children")
        for pid in children.read_text().split():
            os.kill(int(pid), signal.SIGKILL)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(10)


class Squid:
    """squid on 127.0.0.1:PROXY_PORT; env: the variables that make it the session's proxy."""

    def __init__(self, results=world.RESULTS):
        self.work = Path("/tmp/squid")
        self.access_path = Path(results) / "squid-access.log"
        self.work.mkdir(parents=True, exist_ok=True)
        config = self.work / "squid.conf"
        config.write_text(SQUID_CONF.format(port=PROXY_PORT, work=self.work, results=results))
        self.process = subprocess.Popen([SQUID, "-N", "-f", str(config)], cwd=self.work,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        _ready(PROXY_PORT, self.process, "squid", Path(results) / "squid-cache.log")
        address = f"http://127.0.0.1:{PROXY_PORT}"
        self.env = {"https_proxy": address, "http_proxy": address, "no_proxy": None}

    def tunnels(self):
        """The host:port of each CONNECT squid served, in order."""
        if not self.access_path.exists():
            return []
        fields = [line.split() for line in self.access_path.read_text().splitlines()]
        return [f[6] for f in fields if len(f) > 6 and f[5] == "CONNECT"]

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(10)


def start_nginx(scenario=None, tls="TLSv1.2 TLSv1.3", http2=False, rate=None):
    return Nginx(scenario or {}, tls, http2, rate)


def start_squid():
    return Squid()
