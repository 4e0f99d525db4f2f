"""Tests of the real unplug.exe under Wine, against a removable drive T: defined over a temporary
folder and helper processes that hold it in each way. Wine's output always goes to files: a
pipe would be inherited by the started processes and never close."""
import json
import os
import shutil
import subprocess
import sys
import time

BIN = sys.argv[1]
NAME = sys.argv[2]
WORK = os.path.join(BIN, "console", NAME)
UNPLUG = os.path.join(BIN, "unplug.exe")
HOLDER = os.path.join(BIN, "tools", "holder.exe")
DRIVE = "T:"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(*args, timeout=60):
    """Runs a program to its end; returns (exit code, stdout, stderr) as text."""
    out, err = os.path.join(WORK, "out.txt"), os.path.join(WORK, "err.txt")
    with open(out, "wb") as o, open(err, "wb") as e:
        code = subprocess.run(["wine", *args], stdout=o, stderr=e, stdin=subprocess.DEVNULL,
                              cwd=WORK, timeout=timeout).returncode
    with open(out, "rb") as o, open(err, "rb") as e:
        return code, o.read().decode("utf-8"), e.read().decode("utf-8")


def unplug_json(*args):
    code, out, err = wine(UNPLUG, *args, "--json")
    return code, json.loads(out)


class Holders:
    """Helper processes, each started and waited for until it holds what it should."""

    def __init__(self):
        self.started = []

    def start(self, mode, *what, program=HOLDER):
        ready = os.path.join(WORK, "ready-%d" % len(self.started))
        process = subprocess.Popen(["wine", program, windows_path(ready), mode, *what],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   stdin=subprocess.DEVNULL)
        self.started.append(process)
        deadline = time.monotonic() + 20
        while not (os.path.exists(ready) and open(ready).read().strip()):
            if process.poll() is not None or time.monotonic() > deadline:
                raise AssertionError("holder %s %s did not start" % (mode, what))
            time.sleep(0.05)
        return int(open(ready).read())

    def stop(self):
        for process in self.started:
            process.kill()
            process.wait()


def alive(pid):
    return wine(HOLDER, "-", "alive", str(pid))[0] == 0


def holds_by_pid(holders):
    return {h["pid"]: {(x["kind"], x["path"]) for x in h["holds"]} for h in holders}


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def make_drive():
    folder = os.path.join(WORK, "drive")
    os.makedirs(os.path.join(folder, "sub"))
    os.makedirs(os.path.join(folder, "prog"))
    for name in ("a.txt", "文档.txt"):
        with open(os.path.join(folder, name), "w") as f:
            f.write("held\n")
    with open(os.path.join(folder, "big.bin"), "wb") as f:
        f.write(os.urandom(65536))
    shutil.copy(HOLDER, os.path.join(folder, "prog", "runner.exe"))
    code, _, err = wine(os.path.join(BIN, "tools", "define_drive.exe"), DRIVE, folder)
    check(code == 0, "T: could not be defined: " + err)


def who_names_each_holder(holders):
    expected = {
        holders.start("file", r"T:\文档.txt"): {("file", r"T:\文档.txt")},
        holders.start("cwd", r"T:\sub"): {("current_directory", r"T:\sub")},
        holders.start("idle", program=r"T:\prog\runner.exe"):
            {("program", r"T:\prog\runner.exe")},
        holders.start("map", r"T:\big.bin"): {("mapped_file", r"T:\big.bin")},
        holders.start("volume", DRIVE): {("volume", DRIVE)},
    }
    holders.start("pipe", r"C:\windows\win.ini", r"\\.\pipe\unplug-control")
    code, result = unplug_json("who", DRIVE)
    check(code == 1 and result["exit_code"] == 1, "exit code %d" % code)
    check(holds_by_pid(result["holders"]) == expected,
          "holders %s, expected %s" % (result["holders"], expected))
    check(result["uninspected"] == 0, "uninspected %d" % result["uninspected"])
    # The text form, redirected, is UTF-8 with one line per holder.
    code, out, _ = wine(UNPLUG, "who", DRIVE)
    pid = next(p for p, h in expected.items() if ("current_directory", r"T:\sub") in h)
    check(code == 1 and "  %d  holder.exe  当前目录 T:\\sub\r\n" % pid in out, out)


def free_asks_politely_then_kills(holders):
    polite = holders.start("window", r"T:\a.txt")
    stubborn = {holders.start("file", r"T:\a.txt"), holders.start("cwd", r"T:\sub")}
    control = holders.start("pipe", r"C:\windows\win.ini", r"\\.\pipe\unplug-control")

    started = time.monotonic()
    code, result = unplug_json("free", DRIVE, "--wait", "10")
    took = time.monotonic() - started
    check(code == 1, "first free: exit code %d" % code)
    check([h["pid"] for h in result["closed"]] == [polite], "closed %s" % result["closed"])
    check(result["ended"] == [], "ended without --kill: %s" % result["ended"])
    check({h["pid"] for h in result["left"]} == stubborn, "left %s" % result["left"])
    check(all(h["reason"] == "still_running" for h in result["left"]), str(result["left"]))
    check(took < 8, "waited %.1f s for processes without windows" % took)
    check(not alive(polite), "the windowed holder still runs")

    code, result = unplug_json("free", DRIVE, "--kill", "--wait", "1")
    check(code == 0, "free --kill: exit code %d" % code)
    check({h["pid"] for h in result["ended"]} == stubborn, "ended %s" % result["ended"])
    check(result["left"] == [], "left %s" % result["left"])
    check(not any(alive(pid) for pid in stubborn), "an ended holder still runs")
    check(alive(control), "the control process on C: was ended")
    check(wine(UNPLUG, "who", DRIVE)[0] == 0, "the drive is still held")


def free_restarts_the_shell_it_ended(holders):
    # A recorder stands in for the Windows folder's explorer.exe; another in the current folder
    # must never be the one started.
    shell = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "explorer.exe")
    recorder = os.path.join(BIN, "tools", "recorder.exe")
    shutil.copy(shell, os.path.join(WORK, "explorer.exe.original"))
    shutil.copy(recorder, shell)
    shutil.copy(recorder, os.path.join(WORK, "explorer.exe"))
    try:
        shutil.copy(HOLDER, os.path.join(WORK, "drive", "prog", "explorer.exe"))
        pid = holders.start("idle", program=r"T:\prog\explorer.exe")
        code, result = unplug_json("free", DRIVE, "--kill", "--wait", "0")
        check(code == 0 and [h["pid"] for h in result["ended"]] == [pid], str(result))
        check(result["shell_restarted"], str(result))
        log = os.path.join(os.path.dirname(shell), "recorder.log")
        deadline = time.monotonic() + 10
        while not os.path.exists(log) and time.monotonic() < deadline:
            time.sleep(0.05)
        line = open(log, encoding="utf-8").read()
        check("exe=explorer.exe\tshow=2\targs=\t" in line, line)
        check(not os.path.exists(os.path.join(WORK, "recorder.log")), "the planted shell ran")
    finally:
        shutil.copy(os.path.join(WORK, "explorer.exe.original"), shell)
        if os.path.exists(os.path.join(os.path.dirname(shell), "recorder.log")):
            os.remove(os.path.join(os.path.dirname(shell), "recorder.log"))


def eject_and_errors(holders):
    code, out, err = wine(UNPLUG, "eject", DRIVE)
    check(code == 2 and "找不到 T: 所在的设备" in err, "eject: %d %s %s" % (code, out, err))
    code, result = unplug_json("eject", DRIVE)
    check(code == 2 and result["result"] == "device_not_found", str(result))
    code, out, err = wine(UNPLUG, "who", "Q:")
    check(code == 2 and "驱动器 Q: 不存在" in err, "missing drive: %d %s" % (code, err))
    code, out, err = wine(UNPLUG, "who", DRIVE, "--kill")
    check(code == 2 and "用法" in err and out == "", "bad arguments: %d %s" % (code, err))
    code, result = unplug_json("list")
    check(code == 0 and {"drive": "T:", "kind": "removable"}.items() <=
          next(d for d in result["drives"] if d["drive"] == "T:").items(), str(result))


TESTS = {f.__name__: f for f in (who_names_each_holder, free_asks_politely_then_kills,
                                  free_restarts_the_shell_it_ended, eject_and_errors)}


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    holders = Holders()
    make_drive()
    try:
        TESTS[NAME](holders)
    finally:
        holders.stop()
        wine(os.path.join(BIN, "tools", "define_drive.exe"), DRIVE, "--remove")
    print("passed:", NAME)


if __name__ == "__main__":
    main()
