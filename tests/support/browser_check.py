#!/usr/bin/env python3
"""Loads an HTML file in headless Chromium through chromedriver and reports
console errors, requests for anything but the file itself and inline data,
whether the screenshot is blank, the tables split into panels whose rows
cannot be told apart, and the boxes wider than the page (any
table's box, or the page itself, that scrolls sideways) in a 1280-pixel
and an 800 by 900-pixel window and in print on A4 paper. Prints one JSON
object.

Exit status: 0 when the page passes, 1 when it does not, 77 when no browser
or driver is installed (the caller skips)."""
import base64
import json
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import urllib.request
import zlib

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--window-size=1280,1600"]


def find(*names):
    for n in names:
        p = shutil.which(n)
        if p:
            return p
    return None


def call(port, method, path, body=None):
    data = None if body is None else json.dumps(body).encode()
    req = urllib.request.Request(f"http://127.0.0.1:{port}{path}", data=data, method=method,
                                 headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(req, timeout=60) as r:
        return json.loads(r.read().decode())["value"]


# The boxes that scroll sideways: the page's and those of its tables.
OVERFLOW = """
const wide = [];
const page = document.documentElement;
if (page.scrollWidth > page.clientWidth) wide.push(['page', page.scrollWidth, page.clientWidth]);
for (const box of document.querySelectorAll('.table-wrap, table'))
  if (box.scrollWidth > box.clientWidth)
    wide.push([box.id || (box.querySelector('table') || {}).id || box.className, box.scrollWidth, box.clientWidth]);
return wide;
"""
# The tables split into panels whose rows cannot be told apart: each panel
# must start with the same columns, the row headers, and those must tell
# apart every two rows that differ anywhere in the table.
UNIDENTIFIED = """
const bad = [];
const text = cell => cell.textContent.trim();
for (const wrap of document.querySelectorAll('.table-wrap')) {
  const panels = [...wrap.querySelectorAll('table')];
  if (panels.length < 2) continue;
  const heads = panels.map(t => [...t.querySelectorAll('thead tr:last-child th')].map(text));
  let shared = 0;
  while (heads.every(h => shared < h.length && h[shared] === heads[0][shared])) ++shared;
  const rows = panels.map(t => [...t.querySelectorAll('tbody tr')].map(r => [...r.cells].map(text)));
  const whole = rows[0].map((_, i) => JSON.stringify(rows.map(p => p[i])));
  const named = rows[0].map(r => JSON.stringify(r.slice(0, shared)));
  if (!shared || new Set(named).size < new Set(whole).size)
    bad.push([panels[0].id, heads.map(h => h[0]), new Set(named).size, new Set(whole).size]);
}
return bad;
"""
# A4 portrait less the print style sheet's 12 mm margins, in CSS pixels
# (96 to the inch); Letter is wider.
PRINT_WIDTH = round((210 - 2 * 12) / 25.4 * 96)


def overflow_in_print(port, session):
    """The wide boxes of the page laid out as print lays it out on A4."""
    def cdp(cmd, params):
        call(port, "POST", f"/session/{session}/goog/cdp/execute", {"cmd": cmd, "params": params})
    cdp("Emulation.setEmulatedMedia", {"media": "print"})
    cdp("Emulation.setScrollbarsHidden", {"hidden": True})
    cdp("Emulation.setDeviceMetricsOverride", {"width": PRINT_WIDTH, "height": 1100, "deviceScaleFactor": 1,
                                               "mobile": False})
    return call(port, "POST", f"/session/{session}/execute/sync", {"script": OVERFLOW, "args": []})


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def png_distinct_rows(png):
    """How many different pixel rows the PNG has (8-bit RGB or RGBA)."""
    pos, idat, width, height, channels = 8, b"", 0, 0, 4
    while pos < len(png):
        length, kind = struct.unpack(">I4s", png[pos:pos + 8])
        chunk = png[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            channels = {2: 3, 6: 4}.get(colour, 4)
        elif kind == b"IDAT":
            idat += chunk
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev, at = set(), bytearray(stride), 0
    for _ in range(height):
        f, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):  # undo the PNG row filter
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], prev[i - channels] if i >= channels else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.add(bytes(line))
        prev = line
    return len(rows)


def main():
    page = sys.argv[1]
    browser = find("chromium", "chromium-browser", "google-chrome")
    driver = find("chromedriver")
    if not browser or not driver:
        print(json.dumps({"skipped": "no chromium and chromedriver installed"}))
        return 77
    port = free_port()
    profile = tempfile.mkdtemp(prefix="ruva-browser-")
    proc = subprocess.Popen([driver, f"--port={port}"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            try:
                call(port, "GET", "/status")
                break
            except OSError:
                time.sleep(0.1)
        caps = {"capabilities": {"alwaysMatch": {
            "browserName": "chrome",
            "goog:chromeOptions": {"binary": browser, "args": FLAGS + [f"--user-data-dir={profile}"]},
            "goog:loggingPrefs": {"browser": "ALL", "performance": "ALL"}}}}
        session = call(port, "POST", "/session", caps)["sessionId"]
        try:
            call(port, "POST", f"/session/{session}/url", {"url": "file://" + page})
            console = call(port, "POST", f"/session/{session}/se/log", {"type": "browser"})
            network = call(port, "POST", f"/session/{session}/se/log", {"type": "performance"})
            shot = base64.b64decode(call(port, "GET", f"/session/{session}/screenshot"))
            unidentified = call(port, "POST", f"/session/{session}/execute/sync", {"script": UNIDENTIFIED, "args": []})
            wide_on_screen = call(port, "POST", f"/session/{session}/execute/sync", {"script": OVERFLOW, "args": []})
            call(port, "POST", f"/session/{session}/window/rect", {"width": 800, "height": 900})
            wide_at_800 = call(port, "POST", f"/session/{session}/execute/sync", {"script": OVERFLOW, "args": []})
            wide_in_print = overflow_in_print(port, session)
        finally:
            call(port, "DELETE", f"/session/{session}")
    finally:
        proc.terminate()
        proc.wait(timeout=10)
        shutil.rmtree(profile, ignore_errors=True)
    errors = [e["message"] for e in console if e.get("level") == "SEVERE"]
    # The page may load nothing but itself and inline data; the browser's
    # own start page (chrome:// documents) is not the page's doing, but a
    # request to the network is wrong whoever made it.
    requests = []
    for entry in network:
        message = json.loads(entry["message"])["message"]
        if message.get("method") == "Network.requestWillBeSent":
            url = message["params"]["request"]["url"]
            from_page = message["params"].get("documentURL", "") == "file://" + page
            network_url = url.split(":", 1)[0] in ("http", "https", "ws", "wss", "ftp")
            if network_url or (from_page and not url.startswith(("file://", "data:"))):
                requests.append(url)
    rows = png_distinct_rows(shot)
    result = {"console_errors": errors, "external_requests": requests, "distinct_rows": rows, "unidentified_rows": unidentified,
              "wide_on_screen": wide_on_screen, "wide_at_800": wide_at_800, "wide_in_print": wide_in_print}
    print(json.dumps(result))
    fits = not wide_on_screen and not wide_at_800 and not wide_in_print
    return 0 if not errors and not requests and rows > 20 and fits and not unidentified else 1


if __name__ == "__main__":
    sys.exit(main())
