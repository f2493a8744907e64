"""Starts `zentrel serve` on a free loopback port for a test and stops it with SIGTERM."""
import os
import re
import signal
import subprocess
import threading
import time
import urllib.error
import urllib.request


class Server:
    def __init__(self, program, *args):
        self.process = subprocess.Popen([program, "serve", "--port", "0", *args], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True, errors="replace")
        self.log = []
        deadline = time.monotonic() + 60
        self.url = None
        while time.monotonic() < deadline:
            line = self.process.stderr.readline()
            if not line:
                break
            self.log.append(line)
            found = re.search(r"on (http://127\.0\.0\.1:\d+/)", line)
            if found:
                self.url = found.group(1)
                break
        if not self.url:
            self.process.kill()
            raise RuntimeError("zentrel serve did not start: " + "".join(self.log))
        # The log is read all the time: a full pipe would stop the server at its next log line.
        self.reader = threading.Thread(target=lambda: self.log.extend(iter(self.process.stderr.readline, "")), daemon=True)
        self.reader.start()

    def get(self, path, data=None, headers=None, method=None):
        """(status, headers, body bytes) of a request; error statuses are answers too."""
        request = urllib.request.Request(self.url + path.lstrip("/"), data=data, headers=headers or {}, method=method)
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return response.status, dict(response.headers), response.read()
        except urllib.error.HTTPError as e:
            return e.code, dict(e.headers), e.read()

    def stop(self):
        """SIGTERM; returns the exit code and the rest of the log."""
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(timeout=60)
        self.reader.join(timeout=10)
        return self.process.returncode, "".join(self.log)
