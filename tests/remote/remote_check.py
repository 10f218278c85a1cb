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
import math
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
RULE = "seconds>2"


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
    """selvane-monitor.exe /l /rPORT /tseconds>2 under Wine (a trigger that fires at once); its standard output
    read line by line with arrival times."""

    def __init__(self, port):
        self.port = port
        self.lines = []  # (monotonic arrival, text)
        self.process = subprocess.Popen(["wine", "selvane-monitor.exe", "/l", "/r%d" % port, "/t" + RULE], cwd=BIN,
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


def get(port, path, timeout=10, host=None):
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


def tcp_state(connection):
    """The kernel's state of our end of `connection` (hex, as /proc/net/tcp writes it); "" when gone."""
    local = connection.getsockname()[1]
    with open("/proc/net/tcp") as rows:
        for row in list(rows)[1:]:
            fields = row.split()
            if int(fields[1].rsplit(":", 1)[1], 16) == local:
                return fields[3]
    return ""


def stream(port, receive_buffer=None):
    """An /events connection whose head has been asked for, not read."""
    connection = socket.socket()
    if receive_buffer:
        connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    connection.settimeout(3)
    connection.connect(("127.0.0.1", port))
    connection.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
    return connection


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
    status, refused, _ = get(port, "/metrics", host="attacker.example:%d" % port)
    check("a Host of another name is refused (DNS rebinding): 403", status == 403, status)
    page, scraped = get(port, "/"), get(port, "/metrics")
    sniffing = [(path, got[0]) for path, got in (("/", page), ("/metrics", scraped), ("/record.csv", (200, headers)),
                                                 ("403", (403, refused)))
                if got[1].get("X-Content-Type-Options") != "nosniff"] + \
               ([] if b"\r\nX-Content-Type-Options: nosniff\r\n" in answer else ["/events"])
    check("every answer says X-Content-Type-Options: nosniff", not sniffing, sniffing)
    return body


def events_of(line):
    return line.rsplit(",", 1)[-1] if "," in line else ""


def check_events(monitor):
    """DFS stopped and the CPU retargeted from the page (as a user would, through sheet_control): both in the
    record's last field, in /record.csv and /events; the counters in /metrics; the captures listed and served."""
    port = monitor.port
    subprocess.run(["wine", "sheet_control.exe", "dfs", "500"], cwd=BIN, capture_output=True, timeout=30)
    marked = wait_for(lambda: [line for line in monitor.record()[1].values() if "DFS stopped" in events_of(line)], 5)
    check("DFS stopped and retargeted from the page: the record's events field",
          marked and "CPU target 500 MHz" in " ".join(events_of(line) for line in monitor.record()[1].values()),
          marked)
    csv = get(port, "/record.csv")[2].decode().split("\r\n")
    check("/record.csv and /events carry the events in the record's last field",
          csv[0].endswith(",events") and any("DFS stopped" in events_of(line) for line in csv[1:]), csv[:1])
    metrics = get(port, "/metrics")[2].decode()
    check("/metrics counts the DFS transitions and the trigger's firings by rule (counters, _total)",
          "# TYPE selvane_dfs_transitions_total counter" in metrics and
          any(line.startswith("selvane_dfs_transitions_total ") and int(line.split()[1]) >= 1
              for line in metrics.split("\n")) and
          'selvane_trigger_fires_total{rule="%s"} 1\n' % RULE in metrics, metrics[-400:])

    # The captures' folder, as the monitor said it at start, and a capture planted there.
    said = [text for _, text in monitor.lines if "captures go to " in text]
    folder = subprocess.run(["winepath", "-u", said[0].split("captures go to ", 1)[1]], capture_output=True,
                            text=True).stdout.strip() if said else ""
    name = "cap-000101-000000-remote_check.csv"
    content = b"seconds,events\r\n1.000,tcpu_c > 85\r\n"
    if folder:
        with open(os.path.join(folder, name), "wb") as file:
            file.write(content)
    listed = get(port, "/captures")
    fetched = get(port, "/captures/" + name)
    refused = [get(port, path)[0] for path in ("/captures/cap-..%2frun.csv", "/captures/run.csv",
                                               "/captures/cap-000101-000000-missing.csv")]
    check("GET /captures lists the capture files and each can be fetched; other names are 404",
          listed[0] == 200 and name in listed[2].decode().split("\n") and fetched[0] == 200 and
          fetched[2] == content and fetched[1].get("Content-Type") == "text/csv" and refused == [404, 404, 404],
          (folder, listed[0], listed[2][:200], fetched[0], refused))
    if folder:
        os.remove(os.path.join(folder, name))


def check_prometheus(monitor):
    port = monitor.port
    status, _, metrics = get(port, "/metrics")
    with tempfile.NamedTemporaryFile(dir=WORK, suffix=".prom") as file:
        file.write(metrics)
        file.flush()
        with open(file.name, "rb") as text:
            lint = subprocess.run(["promtool", "check", "metrics"], stdin=text, capture_output=True, text=True)
    check("promtool check metrics passes", status == 200 and lint.returncode == 0,
          "status %d: %s" % (status, lint.stdout + lint.stderr))

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


AXES = """return Array.from(document.querySelectorAll('section')).map(function (s) {
  var c = s.querySelector('canvas'), legend = Array.from(s.querySelectorAll('.legend span'));
  return [s.querySelector('h2').textContent, c.dataset.values || '', c.dataset.times || '',
          legend.map(function (i) { return i.textContent.split(':')[0] + '=' + i.firstChild.className; })]; })"""
LAYOUT = "return [window.innerWidth, document.documentElement.scrollWidth]"


def round_step(step):
    """Whether `step` is 1, 2 or 5 times a power of ten."""
    if step <= 0:
        return False
    mantissa = step / 10 ** math.floor(math.log10(step) + 1e-9)
    return any(abs(mantissa - m) < 1e-6 for m in (1, 2, 5))


def axis_faults(title, values, times, legend):
    """What is wrong with one chart's axes and legend, as a list of texts."""
    faults = []
    unit = title.rsplit("(", 1)[1].rstrip(")") if title.endswith(")") else ""
    labels = values.split("|") if values else []
    numbers = [float(label.split(" ")[0]) for label in labels]
    steps = {round(b - a, 9) for a, b in zip(numbers, numbers[1:])}
    if len(labels) < 3 or len(steps) != 1 or not round_step(steps.pop()):
        faults.append("values not at one round step: %s" % labels)
    if unit and not all(label.endswith(" " + unit) for label in labels):
        faults.append("a value without its unit %s: %s" % (unit, labels))
    if not unit and any("." in label for label in labels):
        faults.append("a count that is not whole: %s" % labels)
    ago = times.split("|") if times else []
    seconds = [0] + [int(t[1:].split(" ")[0]) * (60 if t.endswith("min") else 1) for t in ago[1:]]
    if len(ago) < 3 or ago[0] != "now" or len({b - a for a, b in zip(seconds, seconds[1:])}) != 1 or \
            not all(t == "now" or t.endswith(" s") or t.endswith(" min") for t in ago):
        faults.append("time ticks not along the axis at one step, each with its unit: %s" % ago)
    if title.startswith("Processors"):
        dashed = sorted(item for item in legend if item.endswith("=dashed"))
        if not dashed or any("_busy_" not in item for item in dashed) or len(dashed) * 2 != len(legend):
            faults.append("the legend does not tell load (solid) from busy share (dashed): %s" % legend)
    return faults


def check_axes(driver):
    """Round steps with units on every axis, whole counts, time ticks along the axis, the legend's dashes;
    then the page in a 420-pixel-wide window: nothing to scroll sideways."""
    charts = driver.execute_script(AXES)
    faults = [title + ": " + fault for title, values, times, legend in charts
              for fault in axis_faults(title, values, times, legend)]
    check("every chart's axes: round steps with units, whole counts, time ticks along the axis, dashes in the legend"
          " (e.g. %s)" % (charts[1][1] if len(charts) > 1 else "?"), charts and not faults, faults)
    driver.set_window_size(420, 900)
    width, scrolled = wait_for(lambda: (lambda w: w[0] <= 420 and w)(driver.execute_script(LAYOUT)), 5) or \
        driver.execute_script(LAYOUT)
    check("in a window %d px wide the page needs no sideways scrolling (%d px of content)" % (width, scrolled),
          width <= 420 and scrolled <= width, (width, scrolled))
    driver.set_window_size(1280, 1480)


MARKS = """return Array.from(document.querySelectorAll('canvas')).map(function (c) {
  var box = c.getBoundingClientRect();
  return [c.dataset.marks || "", box.width, box.height]; });"""


def check_marks(driver):
    """A mark on every chart at the events' cycle, its text shown on pointing."""
    from selenium.webdriver.common.action_chains import ActionChains
    charts = wait_for(lambda: (lambda c: c and all("DFS stopped" in marks for marks, _, _ in c) and c)(
        driver.execute_script(MARKS)), 10) or driver.execute_script(MARKS)
    check("a mark on every chart at the DFS events (%d charts)" % len(charts),
          charts and all("DFS stopped" in marks for marks, _, _ in charts), [marks for marks, _, _ in charts])
    canvases = driver.find_elements("css selector", "canvas")
    shown = []
    for canvas in canvases:
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", canvas)
        # Read again just before pointing: the marks move left as the charts
        # scroll each second, and on a busy host the pointer can arrive after
        # the step; a chart gets three tries.
        title = None
        for _ in range(3):
            marks, width = driver.execute_script("return [arguments[0].dataset.marks || '', "
                                                 "arguments[0].getBoundingClientRect().width];", canvas)
            mark = next((m for m in marks.split("|") if "DFS stopped" in m), None)
            if not mark:
                break
            at = int(mark.split(":", 1)[0])
            ActionChains(driver).move_to_element_with_offset(canvas, at - int(width / 2), 0).perform()
            title = canvas.get_attribute("title")
            if "DFS stopped" in title:
                break
        if title is not None:
            shown.append(title)
    driver.execute_script("window.scrollTo(0, 0);")
    check("pointing at a mark shows its text, on every chart",
          len(shown) == len(charts) and all("DFS stopped" in text for text in shown), shown)


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
        check_marks(driver)
        driver.save_screenshot(SCREENSHOT)
        check_axes(driver)

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


def metrics_answers(port, seconds, step=0.5):
    """Asks /metrics every `step` for `seconds`; the longest stretch, in seconds, without a 200."""
    longest, since = 0.0, None
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        asked = time.monotonic()
        status = get(port, "/metrics", 2)[0]
        if status == 200:
            since = None
        else:
            since = since or asked
            longest = max(longest, time.monotonic() - since)
        time.sleep(max(0.0, step - (time.monotonic() - asked)))
    return longest


def check_abuse(monitor):
    port = monitor.port
    # Every slot free first: the browser's connections end with its processes, a moment after it quits.
    wait_for(lambda: served_connections(port) == 0, 10)
    began = time.monotonic()
    # An event stream that never reads, with the client's default buffers: the server cannot see that it has
    # stopped (nothing fills in minutes), so only the stream's bounded life frees its slot. Checked at the end.
    lingering, lingering_since = stream(port), time.monotonic()
    cases = [(b"GARBAGE\r\n\r\n", 400), (b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n folded\r\n\r\n", 400),
             (b"POST /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n", 405),
             (b"POST /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r\nhello", 405),
             (b"GET /nothing HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 404),
             (b"GET /" + b"a" * 5000 + b" HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 414),
             (b"GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n" + b"X-Padding: 0123456789abcdef\r\n" * 400 + b"\r\n", 431),
             (b"\x00\xff" * 3000, 414)]
    answers = [exchange(port, data) for data, _ in cases]
    check("malformed and oversized requests: 400, 405 (with Allow: GET, body or not), 404, 414, 431, "
          "each closed and nosniff",
          all(status_of(a) == s and closed and b"\r\nX-Content-Type-Options: nosniff\r\n" in a and
              (s != 405 or b"\r\nAllow: GET\r\n" in a) for (a, closed, _), (_, s) in zip(answers, cases)),
          [(status_of(a), closed) for a, closed, _ in answers])

    # A slow request: one byte every 0.4 s, never whole.
    answer, closed, took = exchange(port, b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + b"s" * 40, 0.4, 12)
    check("a request not whole within 5 s is dropped (408 after %.1f s, closed)" % (took or 0),
          status_of(answer) == 408 and closed and took and 4.9 < took < 8, answer[:40])

    # Streams in every slot (the never-reading one among them): a fifth connection gets 503. Then one reads what
    # came and leaves, as a reloaded page's does: its slot is free at once, not a cycle or two later.
    streams = [stream(port, 1024) for _ in range(3)]
    heads = [connection.recv(65536) for connection in streams]
    refused, closed, _ = exchange(port, b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
    check("more clients than slots: 503, closed", status_of(refused) == 503 and closed,
          (refused[:40], served_connections(port)))
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

    # Connections reset half-way, then clients sending garbage, while /metrics is asked: each round ends
    # with a /metrics that answers 200, whatever notification the flood may have cost.
    def reset_and_garbage():
        for i in range(30):
            connection = socket.socket()
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            connection.settimeout(3)  # a server that stopped taking connections fails the check, not the run
            try:
                connection.connect(("127.0.0.1", port))
                connection.sendall(b"GET /metrics HTTP/1.1\r\nHost: 127" if i % 2 else b"")
            except OSError:
                pass
            connection.close()  # with linger 0: a reset
        for _ in range(6):
            try:
                exchange(port, os.urandom(200).replace(b"\n", b" ") + b"\r\n\r\n", seconds=2)
            except OSError:
                pass

    answered = []
    for _ in range(3):
        reset_and_garbage()
        began_asking = time.monotonic()
        answered.append(wait_for(lambda: get(port, "/metrics", 2)[0] == 200 and time.monotonic() - began_asking, 10))
    check("after each of 3 bursts of resets and garbage, /metrics answers 200 (after %s s)" %
          ", ".join("%.1f" % a if a else "never" for a in answered), all(answered), answered)

    # A burst of connections that go away half-way: every slot must come back.
    for i in range(40):
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=3) as connection:
                connection.sendall(b"GET /metrics HTTP/1.1\r\nHost: 127" if i % 2 else b"")
        except OSError:
            pass  # judged by the /metrics that follows
    time.sleep(1.5)
    streams = [stream(port) for _ in range(2)]  # with the never-reading one, three slots are held
    time.sleep(0.3)
    status, _, _ = get(port, "/metrics")
    check("after 40 connections dropped half-way, every slot is free again", status == 200, status)
    for connection in streams:
        connection.close()

    # Four clients sending a byte a second, each starting again when it is answered or dropped, against a
    # /metrics asked twice a second: the oldest incomplete request gives way to a new connection.
    stop = threading.Event()

    def trickle():
        while not stop.is_set():
            exchange(port, b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + b"s" * 40, 1.0, 8)

    trickles = [threading.Thread(target=trickle, daemon=True) for _ in range(4)]
    for thread in trickles:
        thread.start()
    time.sleep(2)
    longest = metrics_answers(port, 15)
    stop.set()
    check("four one-byte-a-second clients keep /metrics from a 200 for at most 10 s (longest %.1f s)" % longest,
          longest <= 10, longest)
    for thread in trickles:
        thread.join(10)

    # The never-reading stream: its life is bounded, and its last event asks the page to come back at once.
    freed = wait_for(lambda: tcp_state(lingering) in ("08", "") and time.monotonic(),
                     max(1.0, lingering_since + 125 - time.monotonic()), 0.25)
    life = (freed or time.monotonic()) - lingering_since
    lingering.settimeout(3)
    text = b""
    try:
        while True:
            chunk = lingering.recv(65536)
            if not chunk:
                break
            text += chunk
    except OSError:
        pass
    lingering.close()
    check("a stream that never reads, with default buffers, ends after %.0f s (at most 120), "
          "its last event a retry: 100" % life, freed and life <= 120 and text.endswith(b"retry: 100\n\n"),
          (life, text[-40:]))

    # Bursts of connections reset before they send anything: the notice of such a reset can be lost, and a
    # full house must then find the readers that have gone, so the /metrics right after each burst is served.
    statuses = []
    for _ in range(15):
        for _ in range(10):
            connection = socket.socket()
            connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\x01\x00\x00\x00\x00\x00\x00\x00")
            connection.settimeout(3)
            try:
                connection.connect(("127.0.0.1", port))
            except OSError:
                pass
            connection.close()
        statuses.append(get(port, "/metrics")[0])
    check("right after each of 15 bursts of 10 resets, /metrics answers 200", statuses == [200] * 15, statuses)

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
        check_events(monitor)
        check_prometheus(monitor)
        monitor = check_page(monitor)
        check_abuse(monitor)
    finally:
        monitor.stop()
    print("%d remote checks failed" % len(failures) if failures else "every remote check passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
