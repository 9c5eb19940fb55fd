#!/usr/bin/env python3
"""Start-up of the client against a bare Win32 program: bench_startup.exe does the measuring from
outside (window shown, first paint seen in the window's pixels); this script gives it a private
client folder and the demo service.

Needs the Wine environment of scripts/wine-env.sh; bench_startup.sh sets it up.
"""

import os
import shutil
import subprocess
import sys
import tempfile

from bench_support import BIN_DIR, copy_client, demo_port, demo_service, to_wine

ROUNDS = 5


def main():
    port = demo_port()
    work = tempfile.mkdtemp(prefix="zarvik-bench-startup-")
    try:
        with demo_service(work, port):
            client = copy_client(os.path.join(work, "client"))
            out = subprocess.run(
                ["wine", os.path.join(BIN_DIR, "bench_startup.exe"), "run", str(ROUNDS),
                 to_wine(os.path.join(BIN_DIR, "fake-game.exe")),
                 to_wine(os.path.join(client, "zarvik.exe")),
                 f"http://127.0.0.1:{port}/gameLogin.action?opt=bench"],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                text=True, errors="replace", cwd=work, timeout=900)
        sys.stdout.write(out.stdout.replace("\r\n", "\n"))
        return out.returncode
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
