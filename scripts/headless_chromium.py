"""Headless Chromium driven over its DevTools protocol, with the standard library only: a
minimal WebSocket client (RFC 6455, client frames masked, no extensions) and the few commands the
viewer's tests, its screenshot and its benchmark need.

    with Chromium(width=1200, height=800) as browser:
        browser.open(path)                       # waits for the load event
        browser.wait_for("window.velm && window.velm.ready")
        value = browser.evaluate("1 + 1")
        browser.click(x, y)
        browser.screenshot(png_path)
        browser.errors                           # console errors and uncaught exceptions

WebGL runs on the SwiftShader software renderer, so no GPU is needed.
"""

from __future__ import annotations

import base64
import json
import os
import pathlib
import re
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import time
import urllib.request
from typing import Any

NAMES = ("chromium", "chromium-browser")
SANITIZER_VARIABLES = ("LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS", "PYTHONMALLOC")


def executable() -> str | None:
    """The Chromium program on PATH, or None."""
    for name in NAMES:
        found = shutil.which(name)
        if found:
            return found
    return None


class WebSocket:
    """A blocking WebSocket client for text messages."""

    def __init__(self, url: str, timeout: float = 60.0) -> None:
        match = re.match(r"ws://([^/:]+):(\d+)(/.*)", url)
        if not match:
            raise ValueError(f"not a ws:// address: {url}")
        host, port, path = match.group(1), int(match.group(2)), match.group(3)
        self._socket = socket.create_connection((host, port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode("ascii")
        self._socket.sendall((f"GET {path} HTTP/1.1\r\nHost: {host}:{port}\r\n"
                              f"Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                              "Sec-WebSocket-Version: 13\r\n\r\n").encode("ascii"))
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self._socket.recv(4096)
            if not chunk:
                raise ConnectionError("the browser closed the connection during the handshake")
            head += chunk
        head, self._pending = head.split(b"\r\n\r\n", 1)
        if b" 101 " not in head.split(b"\r\n", 1)[0]:
            raise ConnectionError(f"no WebSocket upgrade: {head[:200]!r}")

    def _read(self, size: int) -> bytes:
        while len(self._pending) < size:
            chunk = self._socket.recv(max(65536, size - len(self._pending)))
            if not chunk:
                raise ConnectionError("the browser closed the connection")
            self._pending += chunk
        data, self._pending = self._pending[:size], self._pending[size:]
        return data

    def _send_frame(self, opcode: int, payload: bytes) -> None:
        header = bytes([0x80 | opcode])
        size = len(payload)
        if size < 126:
            header += bytes([0x80 | size])
        elif size < 1 << 16:
            header += bytes([0x80 | 126]) + struct.pack(">H", size)
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", size)
        mask = os.urandom(4)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self._socket.sendall(header + mask + masked)

    def send(self, text: str) -> None:
        self._send_frame(0x1, text.encode("utf-8"))

    def receive(self) -> str:
        message = b""
        while True:
            first, second = self._read(2)
            opcode, size = first & 0x0F, second & 0x7F
            if size == 126:
                size = struct.unpack(">H", self._read(2))[0]
            elif size == 127:
                size = struct.unpack(">Q", self._read(8))[0]
            mask = self._read(4) if second & 0x80 else None
            payload = self._read(size)
            if mask:
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
            if opcode == 0x9:
                self._send_frame(0xA, payload)
                continue
            if opcode == 0x8:
                raise ConnectionError("the browser closed the connection")
            if opcode in (0x0, 0x1, 0x2):
                message += payload
                if first & 0x80:
                    return message.decode("utf-8")

    def close(self) -> None:
        self._socket.close()


class Chromium:
    """One headless Chromium with one page, closed on leaving the `with` block."""

    def __init__(self, width: int = 1200, height: int = 800) -> None:
        self.width, self.height = width, height
        self.errors: list[str] = []
        self._events: list[str] = []
        self._next = 0

    def __enter__(self) -> Chromium:
        program = executable()
        if program is None:
            raise FileNotFoundError("chromium is not installed (Debian's package chromium)")
        self._profile = tempfile.TemporaryDirectory(prefix="velm-chromium-")
        flags = ["--headless=new", "--disable-gpu", "--use-angle=swiftshader",
                 "--enable-unsafe-swiftshader", "--no-first-run", "--no-default-browser-check",
                 "--disable-extensions", "--hide-scrollbars", "--mute-audio",
                 f"--window-size={self.width},{self.height}", "--remote-debugging-port=0",
                 f"--user-data-dir={self._profile.name}"]
        if os.geteuid() == 0:
            flags.append("--no-sandbox")
        # The browser runs without the sanitizer runtimes a sanitised test run preloads.
        environment = {k: v for k, v in os.environ.items() if k not in SANITIZER_VARIABLES}
        self._process = subprocess.Popen([program, *flags, "about:blank"], stdin=subprocess.DEVNULL,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                         env=environment)
        port = None
        deadline = time.monotonic() + 60
        while port is None and time.monotonic() < deadline:
            line = self._process.stderr.readline().decode("utf-8", "replace")
            if not line and self._process.poll() is not None:
                break
            found = re.search(r"DevTools listening on ws://[^:]+:(\d+)/", line)
            port = int(found.group(1)) if found else None
        if port is None:
            self.__exit__(None, None, None)
            raise RuntimeError("chromium did not start its DevTools endpoint")
        # Keep reading standard error, so that the browser never blocks on a full pipe.
        self._drain = threading.Thread(target=self._process.stderr.read, daemon=True)
        self._drain.start()
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=30) as reply:
            pages = [t for t in json.load(reply) if t.get("type") == "page"]
        self._socket = WebSocket(pages[0]["webSocketDebuggerUrl"])
        for domain in ("Page", "Runtime", "Log"):
            self.call(f"{domain}.enable")
        self.call("Emulation.setDeviceMetricsOverride", {"width": self.width, "height": self.height,
                                                         "deviceScaleFactor": 1, "mobile": False})
        return self

    def __exit__(self, *_: Any) -> None:
        if getattr(self, "_socket", None):
            self._socket.close()
        self._process.terminate()
        try:
            self._process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        if getattr(self, "_drain", None):
            self._drain.join(timeout=10)
        self._profile.cleanup()

    def _event(self, message: dict[str, Any]) -> None:
        method, params = message.get("method"), message.get("params", {})
        if method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            self.errors.append(" ".join(str(a.get("value", a.get("description", "")))
                                        for a in params.get("args", ())))
        elif method == "Runtime.exceptionThrown":
            details = params.get("exceptionDetails", {})
            self.errors.append(details.get("exception", {}).get("description")
                               or details.get("text", "exception"))
        elif method == "Log.entryAdded" and params.get("entry", {}).get("level") == "error":
            self.errors.append(params["entry"].get("text", ""))
        self._events.append(method)

    def call(self, method: str, params: dict[str, Any] | None = None) -> dict[str, Any]:
        """Sends one command and returns its result; events meanwhile are recorded."""
        self._next += 1
        self._socket.send(json.dumps({"id": self._next, "method": method, "params": params or {}}))
        while True:
            message = json.loads(self._socket.receive())
            if message.get("id") == self._next:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            self._event(message)

    def open(self, path: str | os.PathLike[str], timeout: float = 120.0) -> None:
        """Loads a local file and waits for its load event."""
        self._events = []
        self.call("Page.navigate", {"url": pathlib.Path(path).resolve().as_uri()})
        deadline = time.monotonic() + timeout
        while "Page.loadEventFired" not in self._events:
            if time.monotonic() > deadline:
                raise TimeoutError(f"{path} did not load in {timeout} s")
            self._event(json.loads(self._socket.receive()))

    def evaluate(self, expression: str, await_promise: bool = False) -> Any:
        """The value of a JavaScript expression in the page (returned by value)."""
        result = self.call("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": await_promise})
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise RuntimeError(details.get("exception", {}).get("description")
                               or details.get("text"))
        return result.get("result", {}).get("value")

    def wait_for(self, expression: str, timeout: float = 120.0) -> None:
        """Waits until the expression is true in the page."""
        deadline = time.monotonic() + timeout
        while not self.evaluate(f"Boolean({expression})"):
            if time.monotonic() > deadline:
                raise TimeoutError(f"not true after {timeout} s: {expression}")
            time.sleep(0.1)

    def click(self, x: float, y: float) -> None:
        """A left click at client position (x, y), as the mouse would give it."""
        self.call("Input.dispatchMouseEvent", {"type": "mouseMoved", "x": x, "y": y})
        for kind, buttons in (("mousePressed", 1), ("mouseReleased", 0)):
            self.call("Input.dispatchMouseEvent", {"type": kind, "x": x, "y": y, "button": "left",
                                                   "buttons": buttons, "clickCount": 1})

    def screenshot(self, path: str | os.PathLike[str]) -> None:
        """The page as a PNG file."""
        data = self.call("Page.captureScreenshot", {"format": "png"})["data"]
        pathlib.Path(path).write_bytes(base64.b64decode(data))
