"""Update files of the content network, the update report and the forum's help page.

    /orbit/20160412/lm/zarvik/update.ini      the manifest of edition 0 (on 127.0.0.1)
    /orbit/20160412/global/zarvik/update.ini  the manifest of edition 1 (on 127.0.0.2)
    /cdn/<anything>/update.ini                the same manifest, for a "conf.cfg" that names it
    <any manifest path>.sig                   its detached Ed25519 signature (hex), made with the
                                              build's signing tool and demo key when the
                                              environment names them (ZARVIK_UPDATE_SIGN_TOOL,
                                              ZARVIK_UPDATE_SECRET_KEY, from the build's demo.env)
    /cdn/zarvik.zip                           the package, zipped at run time from a folder
    /updateReport.action                      the update report (report.exe), answers "ok"
    /forum.php                                the help page opened after a failed update

Switches (DemoService.set_switches in the tests):
    update_version     "Version" of the manifest (default "1.0.0.0": older than any build)
    update_source      folder whose files make up the package (default: <data dir>/update-source)
    update_report      "Report" of the manifest (default 1)
    update_url, update_url2   override "URL"/"URL2" (default: the package URL, for both)
    update_manifest    "ok" (default), "missing" (404) or a number of seconds to stall
    update_hash        "ok" (default): the manifest names the package's Size and SHA256; "none"
    update_signature   "ok" (default), "missing" (404) or "bad" (one digit changed)
    update_serial      "Serial" of the manifest (default 1); "none" leaves the line out
    update_expires     "Expires" of the manifest: "fresh" (default: two days after the service
                       started), "past" (2020-01-01T00:00:00Z), "none" (no line) or a time
    update_edition     "Edition" of the manifest (default: the edition of the host asked);
                       "none" leaves the line out
    update_tamper      "url": the manifest is served with URL/URL2 pointing at another host but
                       with the signature of the untouched manifest, as a forger on the path would
    update_package     how the package is served:
        "ok" (default)  the zip with its length
        "missing"       404
        "broken"        bytes that are no zip archive, with their length
        "nolength"      the zip without a Content-Length, ended by closing the connection
        "redirect"      302 to the package
        "truncated"     announces the full length, sends half, closes
        "wrongsize"     the size probe and the transfer see different lengths
        "stall"         waits update_stall seconds (default 5) before answering
        "drip"          sends 16 KiB pieces every update_drip_ms (default 50) milliseconds
        "flipped"       the zip with one byte changed, same length
        "swapped"       a zip of the same length in which one member holds other bytes
Faults that need control over the connection are served by a raw socket server of this module on
a free port of 127.0.0.1; the manifest then points "URL"/"URL2" there. Its requests are recorded
in the request log like all others.
"""

import datetime
import hashlib
import io
import os
import socket
import subprocess
import tempfile
import threading
import time
import zipfile

from demo_service import Response

MANIFEST_PATHS = ("/orbit/20160412/lm/zarvik/update.ini", "/orbit/20160412/global/zarvik/update.ini")
RAW_MODES = ("nolength", "truncated", "wrongsize", "stall", "drip")


class PackageBuilder:
    """Zips a folder into memory; rebuilt when the folder or its files change."""

    def __init__(self):
        self.lock = threading.Lock()
        self.key = None
        self.data = b""
        self.swapped = b""

    def get(self, folder, swapped=False):
        if not folder or not os.path.isdir(folder):
            return None
        files = []
        for root, _, names in os.walk(folder):
            for name in sorted(names):
                path = os.path.join(root, name)
                st = os.stat(path)
                files.append((os.path.relpath(path, folder).replace(os.sep, "/"), st.st_size, st.st_mtime))
        key = (folder, tuple(sorted(files)))
        with self.lock:
            if key != self.key:
                self.key = key
                self.data = self.build(folder, files, False)
                self.swapped = self.build(folder, files, True)
            return self.swapped if swapped else self.data

    @staticmethod
    def build(folder, files, swapped):
        """Text members are stored, so a swap of their bytes keeps the archive's length."""
        buffer = io.BytesIO()
        done = False
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as archive:
            for name, _, _ in sorted(files):
                path = os.path.join(folder, name)
                if not name.endswith(".txt"):
                    archive.write(path, name)
                    continue
                with open(path, "rb") as f:
                    data = f.read()
                if swapped and not done and data:
                    data = bytes((b + 1) & 0xFF for b in data)
                    done = True
                info = zipfile.ZipInfo(name, time.localtime(os.stat(path).st_mtime)[:6])
                info.external_attr = 0o644 << 16
                archive.writestr(info, data, zipfile.ZIP_STORED)
        return buffer.getvalue()


class RawRequest:
    """Enough of demo_service.Request for Service.record."""

    def __init__(self, method, target, headers, address):
        self.method = method
        path, _, query = target.partition("?")
        self.path, self.query_string = path, query
        self.header_lines = headers
        self.host = next((h.split(":", 1)[1].strip() for h in headers if h.lower().startswith("host:")), "")
        self.local_address = address
        self.body = b""


class FaultServer:
    """Serves the package with faults a well-behaved HTTP server cannot produce."""

    def __init__(self, service, package):
        self.service = service
        self.package = package
        self.requests = 0
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.socket.bind(("127.0.0.1", 0))
        self.socket.listen(16)
        self.port = self.socket.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def url(self, mode):
        return f"http://127.0.0.1:{self.port}/{mode}/zarvik.zip"

    def serve(self):
        while True:
            try:
                client, _ = self.socket.accept()
            except OSError:
                return
            threading.Thread(target=self.handle, args=(client,), daemon=True).start()

    def handle(self, client):
        try:
            with client:
                head = b""
                while b"\r\n\r\n" not in head and len(head) < 65536:
                    chunk = client.recv(4096)
                    if not chunk:
                        return
                    head += chunk
                lines = head.split(b"\r\n\r\n")[0].decode("latin-1").split("\r\n")
                method, target, _ = (lines[0].split(" ") + ["", "", ""])[:3]
                mode = target.lstrip("/").split("/")[0]
                self.service.record(RawRequest(method, target, lines[1:], "127.0.0.1"), 200)
                with self.service.lock:
                    self.requests += 1
                    number = self.requests
                self.answer(client, mode, number)
        except OSError:
            pass

    def answer(self, client, mode, number):
        data = self.package() or b""
        if mode == "stall":
            time.sleep(float(self.service.switch("update_stall", 5)))
        if mode == "nolength":
            client.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\n\r\n" + data)
            return
        body, length = data, len(data)
        if mode == "truncated":
            body = data[: len(data) // 2]
        elif mode == "wrongsize":
            body = data + b"\0" * (number % 2 + 1)  # one length for the probe, another for the transfer
            length = len(body)
        client.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\n"
                       + f"Content-Length: {length}\r\n\r\n".encode())
        if mode == "drip":
            pause = float(self.service.switch("update_drip_ms", 50)) / 1000.0
            for at in range(0, len(body), 16384):
                client.sendall(body[at:at + 16384])
                time.sleep(pause)
        else:
            client.sendall(body)


def register(service):
    builder = PackageBuilder()

    def package_bytes(swapped=False):
        folder = service.switch("update_source", os.path.join(service.data_dir, "update-source"))
        return builder.get(folder, swapped)

    def sign(text):
        """The detached signature of the manifest's bytes, or None without a key."""
        tool = os.environ.get("ZARVIK_UPDATE_SIGN_TOOL")
        key = os.environ.get("ZARVIK_UPDATE_SECRET_KEY")
        if not tool or not key:
            return None
        with tempfile.TemporaryDirectory() as folder:
            manifest = os.path.join(folder, "update.ini")
            signature = os.path.join(folder, "update.ini.sig")
            with open(manifest, "wb") as f:
                f.write(text.encode("latin-1"))
            if subprocess.run([tool, "sign", key, manifest, signature]).returncode != 0:
                return None
            with open(signature, encoding="ascii") as f:
                return f.read()

    faults = FaultServer(service, package_bytes)
    # One expiry for the whole run: the manifest and its signature are made in two requests and
    # must carry the same bytes.
    fresh_until = (datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=2)
                   ).strftime("%Y-%m-%dT%H:%M:%SZ")

    def edition_of(request):
        return 0 if request.local_address == "127.0.0.1" else 1

    def manifest_text(request, tampered=False):
        base = service.base_url(edition_of(request))
        package = service.switch("update_package", "ok")
        package_url = faults.url(package) if package in RAW_MODES else base + "cdn/zarvik.zip"
        url = service.switch("update_url", package_url)
        url2 = service.switch("update_url2", package_url)
        if tampered:
            other = service.base_url(1 - edition_of(request)) + "cdn/zarvik.zip"
            url = url2 = other
        text = ("[UPDATE]\r\n"
                f"Version={service.switch('update_version', '1.0.0.0')}\r\n"
                f"URL={url}\r\n"
                f"URL2={url2}\r\n"
                f"Report={service.switch('update_report', 1)}\r\n"
                f"ReportURL={base}updateReport.action\r\n")
        data = package_bytes()
        if service.switch("update_hash", "ok") == "ok" and data is not None:
            text += f"Size={len(data)}\r\nSHA256={hashlib.sha256(data).hexdigest()}\r\n"
        # What keeps a signed manifest from being replayed, frozen or used by the other edition.
        expires = {"fresh": fresh_until, "past": "2020-01-01T00:00:00Z"}.get(
            str(service.switch("update_expires", "fresh")), service.switch("update_expires", "fresh"))
        for key, value in (("Serial", service.switch("update_serial", 1)), ("Expires", expires),
                           ("Edition", service.switch("update_edition", edition_of(request)))):
            if str(value) != "none":
                text += f"{key}={value}\r\n"
        return text

    def manifest(request):
        mode = service.switch("update_manifest", "ok")
        if mode == "missing":
            return None
        tampered = service.switch("update_tamper", "") == "url"
        delay = 0.0 if mode == "ok" else float(mode)
        return Response(manifest_text(request, tampered), content_type="text/plain", delay=delay)

    def signature(request):
        mode = service.switch("update_signature", "ok")
        if mode == "missing":
            return None
        text = sign(manifest_text(request))
        if text is None:
            return None
        if mode == "bad":
            text = ("1" if text[0] != "1" else "2") + text[1:]
        return Response(text, content_type="text/plain")

    def package(request):
        mode = service.switch("update_package", "ok")
        if mode == "missing":
            return None
        if mode == "redirect" and not request.query.get("moved"):
            return Response("", status=302, headers={"Location": "/cdn/zarvik.zip?moved=1"})
        if mode == "broken":
            return Response(b"PK\3\4 this is no zip archive" * 64, content_type="application/zip")
        data = package_bytes(swapped=mode == "swapped")
        if data is None:
            return None
        if mode == "flipped":
            data = data[:len(data) // 2] + bytes([data[len(data) // 2] ^ 1]) + data[len(data) // 2 + 1:]
        return Response(data, content_type="application/zip")

    def cdn(request):
        if request.path.endswith("/update.ini"):
            return manifest(request)
        if request.path.endswith("/update.ini.sig"):
            return signature(request)
        if request.path == "/cdn/zarvik.zip":
            return package(request)
        return None

    def report(request):
        return Response("ok", content_type="text/plain")

    def help_page(request):
        return Response("<!DOCTYPE html><html><body><h1>Zarvik update help</h1>"
                        "<p>Download the client again from the forum.</p></body></html>")

    for path in MANIFEST_PATHS:
        service.route(path, manifest)
        service.route(path + ".sig", signature)
    service.route_prefix("/cdn/", cdn)
    service.route("/updateReport.action", report)
    service.route("/forum.php", help_page)
