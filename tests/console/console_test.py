"""Tests of the real unplug.exe under Wine, against a removable drive T: defined over a temporary
folder and helper processes that hold it in each way. Wine's output always goes to files: a
pipe would be inherited by the started processes and never close."""
import json
import os
import shlex
import shutil
import subprocess
import sys
import time

BIN, NAME = sys.argv[1], sys.argv[2]
WORK = os.path.join(BIN, "console", NAME)
UNPLUG, TOOLS = os.path.join(BIN, "unplug.exe"), os.path.join(BIN, "tools")
HOLDER, DEFINE = os.path.join(TOOLS, "holder.exe"), os.path.join(TOOLS, "define_drive.exe")
DRIVE = os.path.join(WORK, "drive")  # the folder Wine's mount manager makes T:
SHELL = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "explorer.exe")


def wine(*args, cwd=WORK):
    """Runs a program to its end; returns (exit code, stdout, stderr) as text."""
    out, err = os.path.join(WORK, "out.txt"), os.path.join(WORK, "err.txt")
    with open(out, "wb") as o, open(err, "wb") as e:
        code = subprocess.run(["wine", *args], stdout=o, stderr=e, stdin=subprocess.DEVNULL,
                              cwd=cwd, timeout=60).returncode
    with open(out, "rb") as o, open(err, "rb") as e:
        return code, o.read().decode("utf-8"), e.read().decode("utf-8")


def on_console(*args):
    """Runs unplug.exe on a terminal of its own (script(1)), which Wine makes a console; returns
    the exit code and the text shown there."""
    done = subprocess.run(["script", "-qec", shlex.join(["wine", UNPLUG, *args]), "/dev/null"],
                          capture_output=True, stdin=subprocess.DEVNULL, cwd=WORK, timeout=60)
    return done.returncode, done.stdout.decode("utf-8")


def unplug_json(*args, cwd=WORK):
    code, out, _ = wine(UNPLUG, *args, "--json", cwd=cwd)
    return code, json.loads(out)


def start(started, mode, *what, program=HOLDER):
    """Starts a helper process and waits until it holds what it should; returns its id."""
    ready = os.path.join(WORK, "ready-%d" % len(started))
    started.append(subprocess.Popen(
        ["wine", program, "Z:" + ready.replace("/", "\\"), mode, *what],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL))
    deadline = time.monotonic() + 20
    while not (os.path.exists(ready) and open(ready).read().strip()):
        assert started[-1].poll() is None and time.monotonic() < deadline, (mode, what)
        time.sleep(0.05)
    return int(open(ready).read())


def names_frees_and_ends_each_holder(started):
    holds = {
        start(started, "file", r"T:\文档.txt"): [["file", r"T:\文档.txt"]],
        start(started, "cwd", r"T:\sub"): [["current_directory", r"T:\sub"]],
        start(started, "map", r"T:\big.bin"): [["mapped_file", r"T:\big.bin"]],
        start(started, "volume", "T:"): [["volume", "T:"]],
        # Run from the drive, the holder holds its program; named so, it stands for the shell.
        start(started, "idle", program=r"T:\explorer.exe"): [["program", r"T:\explorer.exe"]],
    }
    polite = start(started, "window", r"T:\a.txt")
    holds[polite] = [["file", r"T:\a.txt"]]
    start(started, "file", r"C:\windows\win.ini")  # a file elsewhere
    code, result = unplug_json("who", "T:")
    assert code == 1 and result["uninspected"] == 0, result
    found = {h["pid"]: [list(x.values()) for x in h["holds"]] for h in result["holders"]}
    assert found == holds, (found, holds)
    # The text form, redirected, is UTF-8 with Windows line ends.
    code, out, _ = wine(UNPLUG, "who", "T:")
    assert code == 1 and "holder.exe  打开的文件 T:\\文档.txt\r\n" in out, out

    began = time.monotonic()
    code, result = unplug_json("free", "T:", "--wait", "10")
    stubborn = set(holds) - {polite}
    assert code == 1 and [h["pid"] for h in result["closed"]] == [polite], result
    assert {h["pid"] for h in result["left"]} == stubborn, result
    assert time.monotonic() - began < 8, "waited for processes without windows"

    # A recorder stands in for the Windows folder's explorer.exe; one in the current folder must
    # never be the one started.
    log = os.path.join(os.path.dirname(SHELL), "recorder.log")
    for planted in (SHELL, os.path.join(WORK, "explorer.exe")):
        shutil.copy(os.path.join(TOOLS, "recorder.exe"), planted)
    code, result = unplug_json("free", "T:", "--kill", "--wait", "1")
    assert code == 0 and {h["pid"] for h in result["ended"]} == stubborn, result
    assert result["shell_restarted"] and wine(UNPLUG, "who", "T:")[0] == 0, result
    deadline = time.monotonic() + 10
    while not os.path.exists(log) and time.monotonic() < deadline:
        time.sleep(0.05)
    assert "exe=explorer.exe\tshow=2\targs=\t" in open(log, encoding="utf-8").read()  # minimized
    assert not os.path.exists(os.path.join(WORK, "recorder.log")), "the planted shell ran"


def spares_its_caller_and_other_runs(started):
    # A cmd.exe whose current folder is T:\ holds T: and runs free --kill: it is the caller and
    # must keep running to write its second file (both files go to T:\).
    wine("cmd", "/c", "Z:%s free T: --kill --wait 0 --json >caller.json & echo alive>alive.txt"
         % UNPLUG.replace("/", "\\"), cwd=DRIVE)
    assert os.path.exists(os.path.join(DRIVE, "alive.txt")), "free ended the cmd.exe that ran it"
    result = json.load(open(os.path.join(DRIVE, "caller.json"), encoding="utf-8"))
    # Wine's start.exe, which runs cmd.exe for "wine cmd", stands in T:\ as its parent does.
    reasons = {h["program"].lower(): h["reason"] for h in result["left"]}
    assert reasons.pop("start.exe", "caller") == "caller" and result["exit_code"] == 1, result
    assert result["ended"] == [] and reasons == {"cmd.exe": "caller", "unplug.exe": "self"}, result

    # Two runs at once, each standing in T:\: neither ends the other, each ends with its own
    # report and exit code. (Wine ends the Unix process of a program ended from outside with
    # status 0, whatever its Windows exit code, so a run ended by the other looked like a success
    # here; a Windows caller sees the exit code it was ended with.)
    outs = [os.path.join(WORK, "run-%d.json" % i) for i in range(2)]
    runs = [subprocess.Popen(["wine", UNPLUG, "free", "T:", "--kill", "--wait", "0", "--json"],
                             stdout=open(out, "wb"), stdin=subprocess.DEVNULL, cwd=DRIVE)
            for out in outs]
    codes = [run.wait(timeout=60) for run in runs]
    results = [json.load(open(out, encoding="utf-8")) for out in outs]
    reasons = [[h["reason"] for h in r["left"]] for r in results]
    assert codes == [1, 1] and all(r["ended"] == [] for r in results), results
    # Each scan takes long enough under Wine for the two to meet (they ended each other before).
    assert all("self" in r for r in reasons) and "same_program" in reasons[0] + reasons[1], results


def lists_drives_and_finds_no_device(started):
    # T: is removable, U: a CD drive; the prefix's fixed C: sits on no external bus.
    code, _, err = wine(DEFINE, "U:", os.path.join(DRIVE, "sub"), "cdrom")
    assert code == 0, "U: could not be defined: " + err
    # In a new prefix Wine's mount manager may take a moment before the CD drive answers.
    for _ in range(20):
        code, result = unplug_json("list")
        drives = {d["drive"]: d for d in result["drives"]}
        if "U:" in drives:
            break
        time.sleep(0.5)
    assert code == 0 and drives["T:"]["kind"] == "removable" and "C:" not in drives, result
    assert drives["U:"]["kind"] == "cdrom", result
    assert drives["T:"]["label"] == "备份盘" and drives["T:"]["size"] > 0, result
    code, shown = on_console("list")
    assert code == 0 and "T:  可移动  备份盘" in shown, shown
    # Wine's mount manager gives T: no device that could be ejected.
    code, _, err = wine(UNPLUG, "eject", "T:")
    assert code == 2 and "找不到 T: 所在的设备" in err, (code, err)
    # Wine's wevtapi opens no System log: why says so in words on standard error, as it would on
    # a Windows without the event log service.
    code, out, err = wine(UNPLUG, "why", "T:")
    assert code == 2 and out == "", (code, out)
    assert err.startswith("无法读取 Windows 的系统日志(EvtQuery(System))"), err

    # eject --all takes the drives list gives, so it runs only while T: is the one removable or
    # external drive besides the disc drive U:, which it leaves alone: nothing of the machine's.
    assert set(drives) == {"T:", "U:"}, drives
    code, result = unplug_json("eject", "--all")
    outcomes = {d["drive"]: (d["result"], d["exit_code"]) for d in result["drives"]}
    assert code == 2 and outcomes == {"T:": ("device_not_found", 2)}, result

    # The Windows volume is refused before any request is sent: C: stays as it was.
    code, result = unplug_json("eject", "C:", "--force", "--yes")
    assert code == 2 and result["refusal"] == "windows_volume", result
    assert "steps" not in result and "device" not in result, result
    code, out, _ = wine("cmd", "/c", "type", r"C:\windows\win.ini")
    assert code == 0 and "[" in out, (code, out)  # win.ini still reads
    assert unplug_json("list")[0] == 0


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(os.path.join(DRIVE, "sub"))
    for name in ("a.txt", "文档.txt", "big.bin"):
        with open(os.path.join(DRIVE, name), "wb") as f:
            f.write(os.urandom(65536))
    shutil.copy(HOLDER, os.path.join(DRIVE, "explorer.exe"))
    with open(os.path.join(DRIVE, ".windows-label"), "w", encoding="utf-8") as f:
        f.write("备份盘")  # where Wine keeps a folder drive's label
    shutil.copy(SHELL, os.path.join(WORK, "explorer.exe.original"))
    code, _, err = wine(DEFINE, "T:", DRIVE)
    assert code == 0, "T: could not be defined: " + err
    started = []
    try:
        globals()[NAME](started)
    finally:
        for process in started:
            process.kill()
            process.wait()
        for letter in ("T:", "U:"):
            wine(DEFINE, letter, "--remove")
        shutil.copy(os.path.join(WORK, "explorer.exe.original"), SHELL)
        if os.path.exists(os.path.join(os.path.dirname(SHELL), "recorder.log")):
            os.remove(os.path.join(os.path.dirname(SHELL), "recorder.log"))
    print("passed:", NAME)


if __name__ == "__main__":
    main()
