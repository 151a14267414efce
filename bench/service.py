#!/usr/bin/env python3
"""meridiald's figures: the 32-sign sync against one sign, idle CPU and resident memory with 32
signs, and the time from a notice's POST to its first byte on the line.

    python3 bench/service.py [BUILD_DIR]   (default: build)
"""
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
SIGN = os.path.join(build, "src/sign/meridial-sign")
DAEMON = os.path.join(build, "src/daemon/meridiald")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_sign(folder, i):
    log = os.path.join(folder, f"sign{i}.jsonl")
    p = subprocess.Popen([SIGN, "--log", log], stdout=subprocess.PIPE, text=True)
    return p, p.stdout.readline().strip(), log


def frames(log):
    try:
        with open(log) as f:
            return [json.loads(line) for line in f if line.strip()]
    except FileNotFoundError:
        return []


class Daemon:
    def __init__(self, folder, devices):
        self.port = free_port()
        with open(os.path.join(folder, "signs.ini"), "w") as f:
            for i, device in enumerate(devices):
                f.write(f"[s{i}]\nport={device}\nmessage=Sign {i}\n")
        with open(os.path.join(folder, "schedule.ini"), "w") as f:
            f.write(f"[service]\nlisten=127.0.0.1:{self.port}\n")
        env = dict(os.environ, STATE_DIRECTORY=os.path.join(folder, "state"),
                   MERIDIAL_LOCK_DIR=folder, MERIDIAL_SETTINGS="/nonexistent/m.INI")
        self.process = subprocess.Popen([DAEMON, "--signs", os.path.join(folder, "signs.ini")],
                                        env=env, stderr=subprocess.PIPE, text=True)
        while "the API on" not in self.process.stderr.readline():
            pass
        with open(os.path.join(folder, "state", "token")) as f:
            self.token = f.read().strip()

    def request(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        r = urllib.request.Request(f"http://127.0.0.1:{self.port}{path}", data=data, method=method,
                                   headers={"Authorization": f"Bearer {self.token}",
                                            "Content-Type": "application/json"})
        with urllib.request.urlopen(r, timeout=10) as reply:
            return json.loads(reply.read() or b"{}")

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        self.process.wait(15)


def wait_frames(logs, count, timeout=60):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if all(len(frames(log)) >= count for log in logs):
            return True
        time.sleep(0.01)
    return False


def sync_seconds(daemon, logs):
    before = len(frames(logs[0]))
    start = time.monotonic()
    daemon.request("POST", "/api/sync")
    wait_frames(logs, before + 3)
    # Acknowledged: the service says so for every sign.
    while not all(s["state"]["acknowledged"] and not s["state"]["sending"]
                  for s in daemon.request("GET", "/api/signs")["signs"]):
        time.sleep(0.01)
    return time.monotonic() - start


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1]) / 1024


def run(count, idle_seconds=0):
    with tempfile.TemporaryDirectory() as folder:
        signs = [start_sign(folder, i) for i in range(count)]
        logs = [s[2] for s in signs]
        daemon = Daemon(folder, [s[1] for s in signs])
        try:
            wait_frames(logs, 3)
            time.sleep(0.5)
            result = {"sync": min(sync_seconds(daemon, logs) for _ in range(3))}
            if idle_seconds:
                pid = daemon.process.pid
                before, t0 = cpu_seconds(pid), time.monotonic()
                time.sleep(idle_seconds)
                result["idle_cpu"] = (cpu_seconds(pid) - before) / (time.monotonic() - t0)
                result["rss"] = memory(pid, "VmRSS:")
                result["hwm"] = memory(pid, "VmHWM:")
                latencies = []
                for i in range(5):
                    n = len(frames(logs[0]))
                    posted = time.clock_gettime(time.CLOCK_MONOTONIC) * 1000
                    daemon.request("POST", "/api/notices",
                                   {"signs": "s0", "message": f"Notice {i}", "for": "10m"})
                    wait_frames([logs[0]], n + 1, 10)
                    latencies.append(frames(logs[0])[n]["firstByteMs"] - posted)
                    wait_frames([logs[0]], n + 3, 10)
                    time.sleep(0.3)
                result["latency"] = sorted(latencies)
            return result
        finally:
            daemon.stop()
            for p, _, _ in signs:
                p.terminate()
                p.wait()


one = run(1)
many = run(32, idle_seconds=30)
print(f"sync, 1 sign: {one['sync']:.2f} s; 32 signs: {many['sync']:.2f} s; "
      f"ratio {many['sync'] / one['sync']:.3f} (goal <= 1.10)")
print(f"idle CPU with 32 signs over 30 s: {many['idle_cpu'] * 100:.3f} % of one core (goal <= 0.1 %)")
print(f"resident memory with 32 signs: {many['rss']:.1f} MB now, {many['hwm']:.1f} MB at most "
      f"(goal <= 40 MB)")
lat = many["latency"]
print(f"notice POST to its first byte on the line: median {lat[len(lat) // 2]:.0f} ms, "
      f"worst {lat[-1]:.0f} ms over {len(lat)} (goal <= 50 ms)")
