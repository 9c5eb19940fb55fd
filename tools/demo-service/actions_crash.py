"""The crash servlet: "c/crashServlet" receives crash reports as multipart POSTs and stores each
under <data dir>/crash/<n>/ (its files, plus report.json with the query and the text fields);
"c/crashReports" lists what was stored as JSON."""

import email.parser
import email.policy
import json
import os
import re
import threading

from demo_service import Response

SAFE_NAME = re.compile(r"^[A-Za-z0-9][A-Za-z0-9._-]{0,99}$")


def parse_multipart(content_type, body):
    """(fields, files): text fields by name, file parts as (name, bytes) in order."""
    head = f"Content-Type: {content_type}\r\nMIME-Version: 1.0\r\n\r\n".encode()
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(head + body)
    if not message.is_multipart():
        raise ValueError("not a multipart body")
    fields, files = {}, []
    for part in message.iter_parts():
        name = part.get_param("name", header="content-disposition")
        filename = part.get_filename()
        data = part.get_payload(decode=True) or b""
        if filename is not None:
            files.append((filename, data))
        elif name is not None:
            fields[name] = data.decode("utf-8", "replace")
    return fields, files


def register(service):
    lock = threading.Lock()
    root = os.path.join(service.data_dir, "crash")

    def crash_servlet(request):
        if request.method != "POST":
            return Response("POST a report", status=405, content_type="text/plain")
        content_type = request.headers.get("Content-Type", "")
        try:
            fields, files = parse_multipart(content_type, request.body)
        except Exception as e:
            return Response(f"bad report: {e}", status=400, content_type="text/plain")
        for name, _ in files:
            # A report names its own files; nothing may land outside its folder.
            if not SAFE_NAME.match(name):
                return Response(f"bad file name: {name!r}", status=400, content_type="text/plain")
        with lock:
            os.makedirs(root, exist_ok=True)
            number = len(os.listdir(root)) + 1
            folder = os.path.join(root, str(number))
            os.makedirs(folder)
        for name, data in files:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        record = {"number": number, "query": request.query_string, "params": request.query,
                  "fields": fields, "files": [name for name, _ in files],
                  "host": request.host, "address": request.local_address}
        with open(os.path.join(folder, "report.json"), "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        return Response("OK", content_type="text/plain")

    def crash_reports(request):
        reports = []
        if os.path.isdir(root):
            for entry in sorted(os.listdir(root), key=lambda n: int(n) if n.isdigit() else 0):
                path = os.path.join(root, entry, "report.json")
                if os.path.exists(path):
                    with open(path, encoding="utf-8") as f:
                        reports.append(json.load(f))
        return Response(json.dumps(reports, ensure_ascii=False), content_type="application/json")

    service.route("/c/crashServlet", crash_servlet)
    service.route("/c/crashReports", crash_reports)
