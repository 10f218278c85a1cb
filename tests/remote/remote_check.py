#!/usr/bin/python3
"""The remote endpoint (/r) of the monitor running under Wine, checked with the
programs a user points at it: Chromium (headless, through chromedriver) loads
the page and sees its charts move, stop and come back; Prometheus scrapes
/metrics and its query API gives the clock of the /l record of the same cycle;
promtool checks the metrics; then abuse from outside while /l keeps writing.
Every connection goes to 127.0.0.1. Prints one line per check; exits 1 on any
failure.
Usage: remote_check.py BIN_DIR WORK_DIR [SCREENSHOT]"""
import json
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

BIN, WORK = sys.argv[1], sys.argv[2]
SCREENSHOT = sys.argv[3] if len(sys.argv) > 3 else os.path.join(WORK, "remote.png")
failures = []


def check(name, ok, detail=""):
    print(("ok      " if ok else "FAILED  ") + name + ("" if ok else ": " + str(detail)), flush=True)
    if not ok:
        failures.append(name)
    return ok


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(condition, seconds, step=0.2):
    """Polls `condition` until it gives a true value or `seconds` pass."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return None


class Monitor:
    """selvane-monitor.exe /l /rPORT under Wine; its standard output read line by line with arrival times."""

    def __init__(self, port):
        self.port = port
        self.lines = []  # (monotonic arrival, text)
        self.process = subprocess.Popen(["wine", "selvane-monitor.exe", "/l", "/r%d" % port], cwd=BIN,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        threading.Thread(target=self._read, daemon=True).start()
        self.answering = wait_for(lambda: get(port, "/metrics", 1)[0] == 200, 30, 0.5)

    def _read(self):
        for raw in self.process.stdout:
            self.lines.append((time.monotonic(), raw.decode("ascii", "replace").rstrip("\r\n")))

    def record(self):
        """The /l record: its header, then {seconds text: line}."""
        texts = [text for _, text in self.lines if "," in text]
        return (texts[0] if texts else ""), {line.split(",")[0]: line for line in texts[1:]}

    def holds(self, lines):
        """Whether each line is the /l line of its cycle; the newest is written first, but read through a pipe."""
        return bool(wait_for(lambda: all(self.record()[1].get(line.split(",")[0]) == line for line in lines), 3))

    def stop(self):
        self.process.kill()
        self.process.wait(10)


def get(port, path, timeout=3, host=None):
    """A plain GET; (status, headers, body). Status 0 when nothing answered."""
    request = urllib.request.Request("http://127.0.0.1:%d%s" % (port, path))
    if host:
        request.add_unredirected_header("Host", host)
    try:
        with urllib.request.urlopen(request, timeout=timeout) as response:
            return response.status, response.headers, response.read()
    except urllib.error.HTTPError as error:
        return error.code, error.headers, error.read()
    except OSError:
        return 0, {}, b""


def exchange(port, data, pause=0.0, seconds=4.0):
    """Sends `data` (in one-byte steps `pause` apart when pause > 0), then reads until the server closes
    or `seconds` pass. Returns (answer, closed by the server, seconds until the answer began)."""
    began = time.monotonic()
    answer = b""
    answered = None
    with socket.create_connection(("127.0.0.1", port), timeout=seconds) as connection:
        try:
            for i in range(0, len(data), 1 if pause else len(data)):
                connection.sendall(data[i:i + 1] if pause else data)
                # A slow sender stops when the answer comes, so it is timed by the server, not the send loop.
                if pause and select.select([connection], [], [], pause)[0]:
                    break
        except OSError:
            pass  # the server answered and closed before the rest was sent
        try:
            while time.monotonic() - began < seconds:
                chunk = connection.recv(65536)
                answered = answered or time.monotonic() - began
                if not chunk:
                    return answer, True, answered
                answer += chunk
        except ConnectionResetError:
            return answer, True, answered  # closed after the client's late bytes
        except OSError:
            pass
    return answer, False, answered


def served_connections(port):
    """Connections to the monitor on `port` still open at either end (a closed socket has no inode)."""
    count = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as rows:
            for row in list(rows)[1:]:
                fields = row.split()
                ends = [int(address.rsplit(":", 1)[1], 16) for address in fields[1:3]]
                count += port in ends and fields[3] != "0A" and fields[9] != "0"
    return count


def status_of(answer):
    parts = answer.split(b" ", 2)
    return int(parts[1]) if len(parts) > 1 and parts[0] == b"HTTP/1.1" and parts[1].isdigit() else 0


def check_endpoints(monitor):
    port = monitor.port
    time.sleep(2.5)
    status, headers, body = get(port, "/record.csv")
    csv = body.decode().split("\r\n")
    check("/record.csv is the /l record: the same header and lines", status == 200 and len(csv) > 3 and
          monitor.holds([line for line in csv[1:] if line]) and csv[0] == monitor.record()[0], csv[:3])
    answer, _, _ = exchange(port, b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", seconds=3.2)
    events = answer.split(b"\r\n\r\n", 1)[-1].decode().split("\n\n")[:-1]  # whole events only
    lines = [event.split("data: ", 1)[-1] for event in events[1:]]
    check("/events: the header first, then one event a cycle with the record's line",
          status_of(answer) == 200 and events and events[0].endswith("event: header\ndata: " + monitor.record()[0])
          and len(lines) >= 2 and monitor.holds(lines), events[:3])
    status, _, _ = get(port, "/metrics", host="attacker.example:%d" % port)
    check("a Host of another name is refused (DNS rebinding): 403", status == 403, status)
    return body


def check_prometheus(monitor):
    port = monitor.port
    status, _, metrics = get(port, "/metrics")
    with tempfile.NamedTemporaryFile(dir=WORK, suffix=".prom") as file:
        file.write(metrics)
        file.flush()
        with open(file.name, "rb") as text:
            lint = subprocess.run(["promtool", "check", "metrics"], stdin=text, capture_output=True, text=True)
    check("promtool check metrics passes", status == 200 and lint.returncode == 0, lint.stdout + lint.stderr)

    web = free_port()
    folder = tempfile.mkdtemp(dir=WORK)
    config = os.path.join(folder, "prometheus.yml")
    with open(config, "w") as file:
        file.write("global: {scrape_interval: 1s, evaluation_interval: 1s}\n"
                   "scrape_configs:\n  - job_name: selvane\n    static_configs: [{targets: ['127.0.0.1:%d']}]\n" % port)
    prometheus = subprocess.Popen(["prometheus", "--config.file=" + config, "--storage.tsdb.path=" + folder,
                                   "--web.listen-address=127.0.0.1:%d" % web], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)

    def query(expression):
        url = "http://127.0.0.1:%d/api/v1/query?query=%s" % (web, urllib.parse.quote(expression))
        try:
            with urllib.request.urlopen(url, timeout=2) as response:
                return {item["metric"]["__name__"]: float(item["value"][1])
                        for item in json.load(response)["data"]["result"]}
        except (OSError, ValueError, KeyError):
            return {}

    # Both series of one scrape, at one instant: the clock and the cycle it belongs to.
    names = '{__name__=~"selvane_cpu_clock_hertz|selvane_record_seconds|selvane_memory_load_ratio"}'
    try:
        scraped = wait_for(lambda: len(query(names)) == 3 and query(names), 30, 0.5)
        time.sleep(2)
        scraped = query(names)
        cycle = "%.3f" % scraped.get("selvane_record_seconds", -1)
        wait_for(lambda: cycle in monitor.record()[1], 3)
        line = monitor.record()[1].get(cycle, "")
        columns = monitor.record()[0].split(",")
        fields = line.split(",")
        clock = fields[columns.index("cpu_clock_mhz")] if len(fields) == len(columns) else None
        check("Prometheus's CPU clock is the /l record's of the same cycle (%s s: %s MHz)" % (cycle, clock),
              clock is not None and int(scraped["selvane_cpu_clock_hertz"]) // 1000000 == int(clock), (scraped, line))
    finally:
        prometheus.terminate()
        prometheus.wait(20)
        shutil.rmtree(folder, ignore_errors=True)


def browser():
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1280,1480", "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--disable-default-apps",
                     # Nothing but this machine: every other name fails to resolve.
                     "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE localhost , EXCLUDE 127.0.0.1"):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


PAGE_STATE = """return [document.body.dataset.samples | 0, Number(document.body.dataset.lastSeconds),
  document.getElementById('state').textContent, document.querySelector('header').textContent,
  Array.from(document.querySelectorAll('canvas')).map(function (c) { return c.toDataURL(); }).join()]"""


def check_page(monitor):
    """Returns the monitor that runs afterwards (started again for the reconnection)."""
    driver = browser()
    try:
        driver.get("http://127.0.0.1:%d/" % monitor.port)
        first = wait_for(lambda: (lambda s: s[0] >= 3 and s)(driver.execute_script(PAGE_STATE)), 15)
        time.sleep(2.5)
        second = driver.execute_script(PAGE_STATE)
        module = get(monitor.port, "/record.csv")[1].get("X-Selvane-Module", "?")
        check("the page fills with the record and its charts move (samples %s -> %s)" %
              (first and first[0], second[0]), first and second[0] > first[0] and second[1] > first[1] and
              second[4] != first[4] and second[2] == "live")
        check("the page shows the module's name and the monitor's version",
              "module: " + module in second[3] and "monitor 1.2.0" in second[3], second[3])
        driver.save_screenshot(SCREENSHOT)

        monitor.stop()
        down = wait_for(lambda: (lambda s: "not answering" in s[2] and s)(driver.execute_script(PAGE_STATE)), 10)
        check("the page says when the module stops answering", down, driver.execute_script(PAGE_STATE)[2])
        monitor = Monitor(monitor.port)
        back = wait_for(lambda: (lambda s: s[2] == "live" and s[1] < down[1] and s)(driver.execute_script(PAGE_STATE)),
                        25)
        check("the page reconnects by itself and follows the new run", back, driver.execute_script(PAGE_STATE)[:3])
    finally:
        driver.quit()
    return monitor


def check_abuse(monitor):
    port = monitor.port
    # Every slot free first: the browser's connections end with its processes, a moment after it quits.
    wait_for(lambda: served_connections(port) == 0, 10)
    began = time.monotonic()
    cases = [(b"GARBAGE\r\n\r\n", 400), (b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n folded\r\n\r\n", 400),
             (b"POST /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n", 405),
             (b"GET /nothing HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 404),
             (b"GET /" + b"a" * 5000 + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 414),
             (b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + b"X-Padding: 0123456789abcdef\r\n" * 400 + b"\r\n", 431),
             (b"\x00\xff" * 3000, 414)]
    answers = [exchange(port, data) for data, _ in cases]
    check("malformed and oversized requests: 400, 405, 404, 414, 431, each connection closed",
          all(status_of(a) == s and closed for (a, closed, _), (_, s) in zip(answers, cases)),
          [(status_of(a), closed) for a, closed, _ in answers])

    # A slow request beside the rest: one byte every 0.4 s, never whole.
    slow = {}
    slow_thread = threading.Thread(target=lambda: slow.update(
        result=exchange(port, b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + b"s" * 40, 0.4, 12)))
    slow_thread.start()
    # A stream client that never reads, with a small receive buffer, and idle connections: every slot taken.
    stream = socket.socket()
    stream.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1024)
    stream.connect(("127.0.0.1", port))
    stream.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
    time.sleep(0.5)
    idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(2)]
    time.sleep(0.5)
    refused, closed, _ = exchange(port, b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
    check("more clients than slots: 503, closed", status_of(refused) == 503 and closed,
          (refused[:40], served_connections(port)))
    for connection in idle:
        connection.close()
    slow_thread.join(15)
    answer, closed, took = slow.get("result", (b"", False, 0))
    check("a request not whole within 5 s is dropped (408 after %.1f s, closed)" % (took or 0),
          status_of(answer) == 408 and closed and took and 4.9 < took < 8, answer[:40])
    time.sleep(1.5)
    status, _, body = get(port, "/metrics")
    check("with the stream client still not reading, the monitor answers", status == 200 and b"selvane_" in body)
    stream.close()

    # Streams in every slot; one reads what came and leaves, as a reloaded page's does: its slot is free at once,
    # not a cycle or two later when a sample fails to go out.
    wait_for(lambda: served_connections(port) == 0, 5)
    streams = [socket.create_connection(("127.0.0.1", port), timeout=3) for _ in range(4)]
    for connection in streams:
        connection.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
    heads = [connection.recv(65536) for connection in streams]
    streams[0].setblocking(False)
    try:
        while streams[0].recv(65536):
            pass
    except BlockingIOError:
        pass
    streams[0].close()
    time.sleep(0.3)
    status, _, _ = get(port, "/metrics")
    check("a stream client that leaves frees its slot at once (0.3 s later: %d)" % status,
          all(status_of(head) == 200 for head in heads) and status == 200, [head[:20] for head in heads])
    for connection in streams[1:]:
        connection.close()

    # A burst of connections that go away half-way: every slot must come back.
    for i in range(40):
        with socket.create_connection(("127.0.0.1", port)) as connection:
            connection.sendall(b"GET /metrics HTTP/1.1\r\nHost: 127" if i % 2 else b"")
    time.sleep(1.5)
    idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(3)]
    time.sleep(0.3)
    status, _, _ = get(port, "/metrics")
    check("after 40 connections dropped half-way, every slot is free again", status == 200, status)
    for connection in idle:
        connection.close()

    arrivals = [at for at, text in monitor.lines if at >= began and "," in text]
    gaps = [b - a for a, b in zip(arrivals, arrivals[1:])]
    spent = time.monotonic() - began
    check("throughout (%.0f s), /l wrote a line each second (largest gap %.2f s)" % (spent, max(gaps or [99])),
          len(arrivals) >= int(spent) - 2 and max(gaps or [99]) < 2.2, len(arrivals))
    status, _, _ = get(port, "/")
    check("afterwards the monitor still answers", status == 200 and monitor.process.poll() is None)


def main():
    os.makedirs(WORK, exist_ok=True)
    monitor = Monitor(free_port())
    try:
        if not check("the monitor answers on its port", monitor.answering):
            return 1
        check_endpoints(monitor)
        check_prometheus(monitor)
        monitor = check_page(monitor)
        check_abuse(monitor)
    finally:
        monitor.stop()
    print("%d remote checks failed" % len(failures) if failures else "every remote check passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
