#!/usr/bin/env python3
"""Tries the release zip as an operator would.

    try_release.py DIST BUILD_DIR

Checks the zip that DIST/SHA256SUMS.txt names (its hash, exactly the listed files in one folder
named like it, texts in code page 936 with CR LF only, an exe without a link time), unpacks it
into a folder whose path has blanks, Chinese and cmd's special characters, and there, under the
Windows tree BUILD_DIR's Wine: sets up autostart with its script and removes it again, then runs
the headless broadcast with the encoder bridge as ffmpeg.exe. Where the tree runs under 64-bit
Wine, its x86_64 build of the same sources stands in for the 32-bit exe. Exits 1 when a check
fails.
"""
import hashlib
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.dont_write_bytecode = True
sys.path.insert(0, str(ROOT / "tests/broadcast"))
from broadcast import windows_path, wine_env  # noqa: E402

FILES = ["Sonafeed.exe", "使用说明.txt", "设置开机自启.cmd", "取消开机自启.cmd", "LICENSE.txt",
         "THIRD-PARTY-NOTICES.txt"]
TEXTS = [name for name in FILES if name != "Sonafeed.exe"]
FOLDER = "电台 推流 A&B (1)"  # where an operator might unpack it
TASK_NS = {"t": "http://schemas.microsoft.com/windows/2004/02/mit/task"}
failures = []


def check(what, passed, detail=""):
    print(f"  [{'ok' if passed else 'FAILED'}] {what}" + (f": {detail}" if detail else ""))
    if not passed:
        failures.append(what)
    return passed


def windows_text_problem(data):
    """Why data is not code page 936 text with CR LF line ends, or None."""
    try:
        data.decode("cp936", errors="strict")
    except UnicodeDecodeError as error:
        return str(error)
    if data.count(b"\r") != data.count(b"\r\n") or data.count(b"\n") != data.count(b"\r\n"):
        return "a line end other than CR LF"
    return None


def link_time(exe):
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    return struct.unpack_from("<I", exe, pe + 8)[0]


def check_zip(dist):
    digest, name = (dist / "SHA256SUMS.txt").read_text(encoding="ascii").split()
    path = dist / name
    check("SHA256SUMS.txt holds the zip's hash",
          hashlib.sha256(path.read_bytes()).hexdigest() == digest, name)
    top = path.stem
    archive = zipfile.ZipFile(path, metadata_encoding="cp936")
    check("the zip holds exactly its folder and the listed files",
          archive.namelist() == [f"{top}/"] + [f"{top}/{file}" for file in FILES],
          ", ".join(archive.namelist()))
    for text in TEXTS:
        problem = windows_text_problem(archive.read(f"{top}/{text}"))
        check(f"{text} is code page 936 with CR LF line ends", problem is None, problem or "")
    check("the exe carries no link time", link_time(archive.read(f"{top}/Sonafeed.exe")) == 0)
    return archive, top


def run_script(run, folder, script):
    result = subprocess.run([str(run), str(folder / script)], stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=120)
    return result.returncode, result.stdout.decode("gbk", "replace").strip()


def check_autostart(build, folder):
    """The script registers the task with Wine's Task Scheduler and leaves its definition beside
    the exe; Wine keeps the settings of a task but not its trigger, principal or action, so
    those are read from the definition."""
    run, tasks = build / "wine-run", build / "wineprefix/drive_c/windows/system32/tasks"
    before = set(tasks.glob("Sonafeed_*")) if tasks.is_dir() else set()
    code, out = run_script(run, folder, "设置开机自启.cmd")
    added = set(tasks.glob("Sonafeed_*")) - before
    check("设置开机自启.cmd registers one task named after the folder",
          code == 0 and len(added) == 1 and next(iter(added)).name.endswith(folder.name), out)
    definition = folder / "Sonafeed-autostart.xml"
    if not check("the task's definition is beside the exe", definition.is_file()):
        return
    task = ElementTree.fromstring(definition.read_bytes().decode("cp936"))
    found = {key: task.findtext(path, namespaces=TASK_NS) for key, path in [
        ("command", "t:Actions/t:Exec/t:Command"), ("arguments", "t:Actions/t:Exec/t:Arguments"),
        ("start in", "t:Actions/t:Exec/t:WorkingDirectory"),
        ("run level", "t:Principals/t:Principal/t:RunLevel"),
        ("at log-on of", "t:Triggers/t:LogonTrigger/t:UserId")]}
    where = windows_path(folder)
    check("it starts Sonafeed.exe /live in its folder at log-on, with the highest privileges",
          found["command"] == f'"{where}\\Sonafeed.exe"' and found["arguments"] == "/live"
          and found["start in"] == where and found["run level"] == "HighestAvailable"
          and bool(found["at log-on of"]), str(found))
    code, out = run_script(run, folder, "取消开机自启.cmd")
    check("取消开机自启.cmd removes the task and its definition",
          code == 0 and not (added & set(tasks.glob("Sonafeed_*"))) and not definition.exists(),
          out)

    # Two installations whose paths differ only in "_" against "\\" get a task each.
    pair = [folder.parent / "pair" / "a_b", folder.parent / "pair" / "a" / "b"]
    for other in pair:
        other.mkdir(parents=True)
        for script in ("设置开机自启.cmd", "取消开机自启.cmd", "Sonafeed.exe"):
            shutil.copy(folder / script, other / script)
    before = set(tasks.glob("Sonafeed_*"))
    results = [run_script(run, other, "设置开机自启.cmd") for other in pair]
    check("folders a_b and a\\b get a task each",
          all(code == 0 for code, _ in results) and len(set(tasks.glob("Sonafeed_*")) - before) == 2,
          " / ".join(out for _, out in results))
    for other in pair:
        run_script(run, other, "取消开机自启.cmd")

    # A folder whose name code page 936 cannot spell (Hangul) gets no task, and says why.
    korean = folder.parent / "pair" / "방송"
    korean.mkdir()
    for script in ("设置开机自启.cmd", "Sonafeed.exe"):
        shutil.copy(folder / script, korean / script)
    before = set(tasks.glob("Sonafeed_*"))
    code, out = run_script(run, korean, "设置开机自启.cmd")
    check("a folder that code page 936 cannot spell gets no task, and the script says why",
          code == 1 and "本机代码页不能表示" in out and set(tasks.glob("Sonafeed_*")) == before
          and not (korean / "Sonafeed-autostart.xml").exists(), out)


def main():
    dist, build = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    print("The release zip:")
    archive, top = check_zip(dist)
    with tempfile.TemporaryDirectory(prefix="sonafeed-release-") as temp:
        archive.extractall(Path(temp) / FOLDER)
        folder = Path(temp) / FOLDER / top
        arch = wine_env(build / "wine-run")["WINEARCH"]
        subprocess.run(["bash", ROOT / "tests/broadcast/setup.sh", arch], check=True)
        if arch == "win64":
            print("The Windows tree runs under 64-bit Wine: its x86_64 build of the same sources "
                  "stands in for the zip's 32-bit Sonafeed.exe.")
            (folder / "Sonafeed.exe").write_bytes((build / "Sonafeed.exe").read_bytes())
        subprocess.run([ROOT / "tests/wine/session.sh", "start", build,
                        build / "wine_keepalive.exe"], check=True, stdout=subprocess.DEVNULL)
        try:
            print(f"Unpacked into {folder}:")
            check_autostart(build, folder)
            broadcast = subprocess.run(
                [sys.executable, ROOT / "tests/broadcast/broadcast.py", "--bitrate", "128",
                 "--device", "0", "--install", folder, "--wine-run", build / "wine-run",
                 "--bridge", build / "tools/bridge/ffmpeg.exe",
                 "--uidrive", build / "tests/broadcast/uidrive.exe",
                 "--display-file", build / "xvfb-display", "--out", build / "release-try"])
            check("the broadcast from the unpacked folder passes", broadcast.returncode == 0)
        finally:
            subprocess.run([ROOT / "tests/wine/session.sh", "stop", build])
    print("RESULT: " + ("PASS" if not failures else "FAIL (" + "; ".join(failures) + ")"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
