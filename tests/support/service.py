"""What the Python tests of meridiald share: virtual signs, a service of their own, waiting."""
import json, os, shutil, socket, subprocess, tempfile, time

class Rig:
    """Virtual signs and services started under one temporary folder, all ended by close()."""

    def __init__(self, daemon, sign):
        self.daemon, self.sign = daemon, sign
        self.tmp = tempfile.mkdtemp(prefix="meridial-test-")
        self.children = []

    def spawn(self, argv, **kwargs):
        p = subprocess.Popen(argv, **kwargs)
        self.children.append(p)
        return p

    def virtual_sign(self, name):
        """(device, frame log) of a new virtual sign."""
        log = os.path.join(self.tmp, name + ".jsonl")
        p = self.spawn([self.sign, "--log", log], stdout=subprocess.PIPE, text=True)
        return p.stdout.readline().strip(), log

    def start_daemon(self, signs, schedule=""):
        """signs: (name, device, groups, message); returns (port, token, process, log path)."""
        folder = tempfile.mkdtemp(dir=self.tmp)
        port = free_port()
        with open(os.path.join(folder, "signs.ini"), "w") as f:
            for name, device, groups, message in signs:
                f.write(f"[{name}]\nport={device}\nmessage={message}\ngroup={groups}\n")
        with open(os.path.join(folder, "schedule.ini"), "w") as f:
            f.write(f"[service]\nlisten=127.0.0.1:{port}\n{schedule}")
        os.makedirs(os.path.join(folder, "locks"))
        env = dict(os.environ, STATE_DIRECTORY=os.path.join(folder, "state"),
                   MERIDIAL_LOCK_DIR=os.path.join(folder, "locks"),
                   MERIDIAL_SETTINGS="/nonexistent/m.INI")
        log = os.path.join(folder, "meridiald.log")
        p = self.spawn([self.daemon, "--signs", os.path.join(folder, "signs.ini")], env=env,
                       stderr=open(log, "w"))
        wait(lambda: "the API on http://" in open(log).read(), 10, "meridiald did not start")
        token = open(os.path.join(folder, "state", "token")).read().strip()
        return port, token, p, log

    def run(self, main, what):
        """Runs main(), then ends every child and removes the folder, whatever happened."""
        try:
            main()
        finally:
            self.close()
        print(what + " passed")

    def close(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(5)
                except subprocess.TimeoutExpired:
                    child.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]

def frames(log):
    if not os.path.exists(log):
        return []
    return [json.loads(line) for line in open(log) if line.strip()]

def bodies(log):
    """The message bodies the virtual sign decoded, in order: the oracle for what it shows."""
    return [f["decoded"]["body"] for f in frames(log) if f.get("kind") == "message"]

def wait(condition, seconds, what):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if condition():
                return
        except Exception:  # not there yet, a file half written
            pass
        time.sleep(0.02)
    raise AssertionError(what)
