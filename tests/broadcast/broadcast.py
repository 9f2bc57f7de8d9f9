#!/usr/bin/env python3
"""A real broadcast through Sonafeed under Wine, scripted from Linux.

Starts nginx with its RTMP module on 127.0.0.1, a second tone source for the relay, and the open
API stand-in; runs Sonafeed.exe in a fresh directory with the encoder bridge as its ffmpeg.exe
and drives it from outside with uidrive.exe: start the broadcast (Sonafeed reads from the real
encoder's banner that it lacks libfdk_aac and publishes with the built-in aac; with
--hide-banner the encoder refuses libfdk_aac first), read it back, kill the encoder and wait for
the watchdog to bring it back, with --outages also cut the way to the RTMP server in several ways
and time the stream's return after each, stop with auto-pull ticked so that the relay takes
over, stop the relay, take a screenshot. Prints a report; exits 1 when a check fails, 3 when
the Wine session's wineserver ended meanwhile (Wine's fault, which took the run along). Builds
nothing: the caller passes the built programs. With --interactive it only sets everything up and
starts Sonafeed.exe for a person to use, until it is closed."""

import argparse
import ctypes
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(HERE))
import media  # noqa: E402

CAPTION = "Kelvo电台推流客户端"
BITRATES = ["32", "48", "64", "96", "128", "192"]
DEVICE, START_LIVE, START_PULL, AUTO_PULL = 1001, 1004, 1012, 1013
TEXT_START_LIVE, TEXT_STOP_LIVE = "开始直播", "停止直播"
TEXT_START_PULL, TEXT_STOP_PULL = "开始拉流", "停止拉流"
LOG_LIVE, LOG_RESTART = "直播中。。。", "直播进程被关闭，系统自动重启进程！"
LOG_PULLING, LOG_PULL_STOPPED = "拉流中。。。", "停止拉流。。。"
LOG_ENCODER_SAYS = "编码器："
LOG_FALLBACK = "编码器没有libfdk_aac，改用内置aac编码器！"
LOG_STALLED = "编码器已停止发送数据，系统自动重启进程！"
LOG_SERVER_BACK = "服务器已恢复，立即重启直播进程！"
LOG_SILENCE_ALARM = "静音报警："
LOG_SOUND_BACK = "声音已恢复，静音持续了"
METER = 1014
# With --levels: the silence alarm after 10 s, its end after 3 s of sound, the relay as backup.
SILENCE_SECONDS, RETURN_SECONDS = 10, 3
LEVEL_SETTINGS = (f"silence_threshold_db=-50\r\nsilence_seconds={SILENCE_SECONDS}\r\n"
                  f"return_seconds={RETURN_SECONDS}\r\nbackup_relay=1\r\nmeasure_levels=1\r\n")
QUIET_PASSAGE_SECONDS = 60
# With --recording: a file every 10 s instead of every hour, so that the first encoder's audio
# spans two file changes before it is killed.
RECORDING_PERIOD_SECONDS = 10
RECORDING_SETTINGS = f"record=1\r\nrecord_period_seconds={RECORDING_PERIOD_SECONDS}\r\n"
# With --recording-full-drive: the program started again without measuring records onto the
# session's 4 MiB drive S:, without a floor, with this much room left, so that the drive is full
# within seconds.
FULL_DRIVE_SETTINGS = "record=1\r\nrecord_folder=S:\\录音\r\nrecord_min_free_mb=0\r\n"
FULL_DRIVE_ROOM = 96 * 1024
LOG_RECORDING_FAILED = "录音失败，直播照常进行：无法写入录音文件夹 "
AAC_FRAME_SECONDS = 1024 / 44100
# What the encoder's CPU time a minute is measured over, with the recording output and without,
# both encoders at once so that the machine's load changes alike for both.
RECORDING_COST_SECONDS = 60
NO_LIBFDK_AAC = "Unknown encoder 'libfdk_aac'"
# The real encoder's stream mapping when it encodes with the built-in aac.
MAPPED_TO_AAC = re.compile(r"-> aac \(native\)")
# The outages, one after the other, by kind and seconds: the network to the RTMP server stalls
# (link.py frozen), the server is gone (link.py accepts and drops connections), the link's port
# is closed.
OUTAGES = [("link frozen", 45), ("link frozen", 120), ("server gone", 20), ("server gone", 90),
           ("link refused", 60)]
# From the fault's clearing to audio at the server. Sonafeed watches the server while the
# encoder is down and restarts it about a second after the server answers again; the bound
# leaves room for a busy machine and still fails a return on the restart schedule alone, which
# takes up to 160 s after a long outage.
RECOVERY_SECONDS = 15
RELAY_TONE_HZ = 1000
BITRATE_TOLERANCE = 0.25
TONE_TOLERANCE = 0.03
DEFAULT_RTMP_PORT = 1935
NGINX_RTMP_MODULE = "/usr/lib/nginx/modules/ngx_rtmp_module.so"
FFMPEG_CACHE = Path(os.environ.get("SONAFEED_CACHE") or
                    Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache") / "sonafeed")
# The real ffmpeg.exe of the build's own architecture, as tests/broadcast/setup.sh caches it.
FFMPEG_PACKAGE = {"win32": "win32-ia32-4.1.0", "win64": "win32-x64-4.1.0"}


def wine_env(wine_run):
    """The build tree's Wine settings (prefix, architecture, loader) beside its wine-run."""
    env = {}
    for line in (wine_run.parent / "wine-env").read_text().splitlines():
        name, sep, value = line.partition("=")
        if sep and not name.startswith("#"):
            env[name] = value.strip('"')
    return env


# The exit code for a run whose Wine session's wineserver ended: Wine 8's server sometimes
# aborts on an assertion of its own, and every program of the session then waits forever.
SESSION_LOST = 3


def running_with(variable):
    """The /proc folders of the processes whose environment holds `variable` ("NAME=value")."""
    needle = variable.encode()
    for entry in Path("/proc").iterdir():
        try:
            if entry.name.isdigit() and needle in (entry / "environ").read_bytes().split(b"\0"):
                yield entry
        except OSError:
            pass


def session_server_running(wine_run):
    """Whether a wineserver of the session's prefix still runs."""
    prefix = f"WINEPREFIX={wine_env(wine_run)['WINEPREFIX']}"
    return any("".join(read_lines(entry / "comm")).startswith("wineserver")
               for entry in running_with(prefix))


class Abort(Exception):
    """The scenario cannot go on; the message says why."""


class Deadline:
    def __init__(self, seconds):
        self.end = time.monotonic() + seconds

    def wait_until(self, holds, timeout, what, interval=0.05):
        """Polls `holds` until it returns something true, which is returned; raises Abort after
        `timeout` seconds or at the deadline."""
        end = min(time.monotonic() + timeout, self.end)
        while True:
            value = holds()
            if value:
                return value
            if time.monotonic() >= end:
                raise Abort(f"{what}: not within {timeout:g} s")
            time.sleep(interval)


def windows_path(path):
    """Wine maps the Linux root to drive Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def die_with_parent():
    """In the child before exec: killed when this script ends, however it ends."""
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def port_free(port):
    with socket.socket() as probe:
        try:
            probe.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def accepts(port):
    with socket.socket() as probe:
        probe.settimeout(1)
        return probe.connect_ex(("127.0.0.1", port)) == 0


def read_lines(path, encoding="utf-8"):
    try:
        return Path(path).read_text(encoding=encoding, errors="replace").splitlines()
    except OSError:
        return []


def tail(path, lines=15, encoding="utf-8"):
    return "\n".join(read_lines(path, encoding)[-lines:])


def head(path, lines):
    return "\n".join(read_lines(path)[:lines])


class Processes:
    """Linux processes this script started, ended in reverse order."""

    def __init__(self):
        self.started = []

    def start(self, command, log, stdout=None, **kwargs):
        """Output goes to the file `log`, standard output elsewhere if `stdout` says so."""
        with open(log, "ab") as output:
            process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=stdout or output,
                                       stderr=output, preexec_fn=die_with_parent, **kwargs)
        self.started.append(process)
        return process

    def stop_all(self):
        for process in reversed(self.started):
            if process.poll() is None:
                process.terminate()
        for process in reversed(self.started):
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self.started.clear()


class Nginx:
    def __init__(self, processes, root, port):
        self.root = root
        self.port = port
        self.records = root / "records"
        self.records.mkdir()
        conf = root / "nginx.conf"
        # One process that runs as us, so that it can write the records and nothing outlives it.
        conf.write_text(f"""load_module {NGINX_RTMP_MODULE};
daemon off;
master_process off;
pid {root}/nginx.pid;
error_log {root}/nginx-error.log info;
events {{ worker_connections 64; }}
rtmp {{
    server {{
        listen 127.0.0.1:{port};
        application live {{
            live on;
            # A killed encoder's connection that lingers would refuse the restarted one
            # ("already publishing"): a publisher that sends nothing for 3 s is dropped.
            drop_idle_publisher 3s;
            record all;
            record_path {self.records};
            record_unique on;
        }}
        application src {{
            live on;
        }}
    }}
}}
""")
        self.processes = processes
        self.start()

    def start(self):
        self.process = self.processes.start(
            ["nginx", "-p", str(self.root), "-c", str(self.root / "nginx.conf"), "-e",
             str(self.root / "nginx-error.log")], self.root / "nginx.out")

    def kill(self):
        """Gone at once, as a crashed server: its connections are reset."""
        self.process.kill()
        self.process.wait()

    def wait_ready(self, deadline):
        def ready():
            if self.process.poll() is not None:
                raise Abort(f"nginx ended with {self.process.returncode}: "
                            f"{tail(self.root / 'nginx-error.log')}")
            return accepts(self.port)
        deadline.wait_until(ready, 15, "nginx listening")

    def recordings(self):
        return set(self.records.glob("*.flv"))

    @staticmethod
    def recorded_ms(path):
        """How much audio the recording holds so far."""
        frames = media.flv_audio_frames(path)
        return frames[-1][0] - frames[0][0] if frames else 0

    def wait_for_new_recording(self, deadline, before, timeout, what):
        """The first recording not in `before` that holds audio, and when its first frame was
        seen (polled every 50 ms)."""
        def found():
            for path in self.recordings() - before:
                if media.flv_audio_frames(path):
                    return path, time.monotonic()
            return None
        return deadline.wait_until(found, timeout, what)


def listening_address(process, log, name):
    """The loopback address a helper process prints first ("listening on 127.0.0.1:port")."""
    ready, _, _ = select.select([process.stdout], [], [], 15)
    line = process.stdout.readline().decode() if ready else ""
    match = re.search(r"listening on (127\.0\.0\.1:\d+)", line)
    if not match:
        raise Abort(f"{name} did not start: {tail(log)}")
    return match.group(1)


class StandIn:
    def __init__(self, processes, log, rtmp_server):
        self.process = processes.start(
            [sys.executable, str(HERE / "openapi_standin.py"), "--port", "0", "--rtmp-server",
             rtmp_server, "--log", str(log)], log, stdout=subprocess.PIPE)
        self.address = listening_address(self.process, log, "the open API stand-in")
        # Loopback only, whatever proxy the environment names.
        self.opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))

    def status(self):
        with self.opener.open(f"http://{self.address}/status", timeout=10) as answer:
            return json.load(answer)

    def requests_of(self, kind):
        return [r for r in self.status()["requests"] if r.get("type") == kind]


class Link:
    """link.py between the encoder and the RTMP server, for the network's outages."""

    def __init__(self, processes, log, target_port):
        self.processes = processes
        self.log = log
        self.target_port = target_port
        self.port = 0
        self.start()

    def start(self):
        """On the port of the link before, once there was one."""
        self.process = self.processes.start(
            [sys.executable, str(HERE / "link.py"), "--port", str(self.port), "--target",
             str(self.target_port)], self.log, stdout=subprocess.PIPE)
        self.address = listening_address(self.process, self.log, "the link to the RTMP server")
        self.port = int(self.address.rpartition(":")[2])

    def stop(self):
        """Its port closed, its connections gone."""
        self.process.terminate()
        self.process.wait()
        self.process.stdout.close()


class Sonafeed:
    """Sonafeed.exe in a fresh directory (or an unpacked release's) with the bridge as its
    ffmpeg.exe, driven by uidrive."""

    def __init__(self, args, processes, work, config_lines, marker):
        self.args = args
        self.processes = processes
        if args.install:
            work = args.install
        else:
            work.mkdir()
            shutil.copy(args.sonafeed, work / "Sonafeed.exe")
        self.work = work
        self.work_windows = windows_path(work)
        self.marker = marker
        shutil.copy(args.bridge, work / "ffmpeg.exe")
        (work / "bridge.txt").write_bytes(windows_path(args.real_ffmpeg).encode() + b"\r\n" +
                                          (b"hide_banner\r\n" if args.hide_banner else b"") +
                                          (b"debug_ts\r\n" if args.status_soak else b""))
        # Eight lines; CR LF reads as well as the CR CR LF the program writes.
        (work / "config.db").write_bytes("".join(f"{line}\r\n" for line in config_lines)
                                         .encode("gbk"))
        settings = (LEVEL_SETTINGS if args.levels else "") + \
            (RECORDING_SETTINGS if args.recording else "")
        if settings:
            (work / "settings.ini").write_bytes(settings.encode("gbk"))
        self.tone("-12")
        self.process = None

    def start(self, openapi, log, display=None):
        env = dict(os.environ, SONAFEED_OPENAPI=openapi, SONAFEED_BROADCAST_RUN=self.marker)
        command = [str(self.args.wine_run), "Sonafeed.exe"]
        if display:
            # A person's display: plain wine in the build tree's prefix, since the wrapper
            # would pick the test display.
            env.update(wine_env(self.args.wine_run), DISPLAY=display, LANG="zh_CN.UTF-8",
                       LC_ALL="zh_CN.UTF-8")
            command = [env["WINELOADER"], "Sonafeed.exe"]
        self.process = self.processes.start(command, log, cwd=self.work, env=env)

    def uidrive(self, *args, check=True, timeout=90):
        result = subprocess.run([self.args.wine_run, self.args.uidrive, *map(str, args)],
                                capture_output=True, timeout=timeout)
        out = result.stdout.decode("utf-8", "replace").strip()
        if check and result.returncode != 0:
            raise Abort(f"uidrive {' '.join(map(str, args))} failed ({result.returncode}): {out}")
        return out if result.returncode == 0 else None

    def log(self):
        """The log's texts without their time stamps, newest first."""
        out = self.uidrive("log", check=False) or ""
        return [line[20:] for line in out.splitlines()]

    def net_status(self):
        """The running encoder's output so far: each start empties the file."""
        return read_lines(self.args.wine_run.parent / "wineprefix/drive_c/NetStatus.txt")

    def text(self, control):
        return self.uidrive("text", control, check=False)

    def tone(self, level):
        """The bridge's tone from now on: a peak in dBFS, or "silent" (nothing at all)."""
        (self.work / "bridge-audio.txt").write_bytes(f"level={level}\r\n".encode())

    def encoder_cpu_seconds(self):
        """CPU time used so far by the real encoder that the bridge feeds, 0 when none runs."""
        return cpu_seconds_of(b"pipe:0")

    def end_processes(self):
        """Ends every process started from the working directory; the bridge's job takes the
        real encoders with it."""
        self.uidrive("end", self.work_windows, check=False, timeout=60)

    def sweep(self):
        """Last resort for processes of this run that Windows calls could not end."""
        for entry in running_with(f"SONAFEED_BROADCAST_RUN={self.marker}"):
            try:
                os.kill(int(entry.name), signal.SIGKILL)
            except OSError:
                pass


def cpu_seconds_of(marker):
    """CPU time used so far by the process whose command line holds `marker`, 0 for none."""
    for entry in Path("/proc").iterdir():
        try:
            if entry.name.isdigit() and marker in (entry / "cmdline").read_bytes():
                fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
                return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except (OSError, IndexError, ValueError):
            pass
    return 0


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bitrate", default="128", choices=BITRATES, help="kbit/s")
    parser.add_argument("--device", type=int, default=0, help="position in the device box")
    parser.add_argument("--wine-run", required=True, type=Path,
                        help="the build tree's wine-run wrapper")
    parser.add_argument("--sonafeed", type=Path, help="copied into a fresh folder and run there")
    parser.add_argument("--install", type=Path,
                        help="instead: the folder of an unpacked release, run where it lies")
    parser.add_argument("--bridge", required=True, type=Path, help="the encoder bridge's exe")
    parser.add_argument("--uidrive", required=True, type=Path, help="uidrive.exe")
    parser.add_argument("--real-ffmpeg", type=Path,
                        help="the real Windows ffmpeg.exe (default: the one that "
                             "tests/broadcast/setup.sh caches for the build's architecture)")
    parser.add_argument("--display-file", type=Path,
                        help="file naming the test display's number (for the screenshot)")
    parser.add_argument("--out", type=Path, default=Path("broadcast-out"),
                        help="directory for the report, the screenshot and the logs")
    parser.add_argument("--measure-seconds", type=float, default=5)
    parser.add_argument("--hide-banner", action="store_true",
                        help="the bridge lists no banner of the real encoder, so that Sonafeed "
                             "learns that it lacks libfdk_aac only from its refusal")
    parser.add_argument("--outages", action="store_true",
                        help="also cut the way to the RTMP server, one after the other: " +
                             ", ".join(f"{kind} {seconds} s" for kind, seconds in OUTAGES))
    parser.add_argument("--levels", action="store_true",
                        help="also the level meter, a silence with the relay as its backup, the "
                             "sound's return, a quiet passage, and the encoder's CPU time with "
                             "measuring and without")
    parser.add_argument("--recording", action="store_true",
                        help="also the recording, a file every 10 s: the first encoder's files "
                             "against what the server got of it")
    parser.add_argument("--recording-full-drive", action="store_true",
                        help="with --levels: the program started again without measuring "
                             "records onto the test session's full 4 MiB drive S:, which must "
                             "not touch the broadcast")
    parser.add_argument("--recording-cost", action="store_true",
                        help="also the real encoder's CPU time with the recording output and "
                             "without, side by side (alongside the outages, when they run)")
    parser.add_argument("--status-soak", type=float, metavar="SECONDS",
                        help="instead of the kill and the relay: the encoder, made to print a "
                             "line for every packet, publishes this long while the status "
                             "file's size is sampled every 10 s")
    parser.add_argument("--deadline", type=float,
                        help="seconds after which the script gives up and cleans up (default: "
                             "150, 480 with --outages)")
    parser.add_argument("--interactive", action="store_true",
                        help="set up, start Sonafeed.exe on $DISPLAY and wait until it is closed")
    args = parser.parse_args()
    if (args.sonafeed is None) == (args.install is None):
        parser.error("give either --sonafeed or --install")
    if args.recording_full_drive and not args.levels:
        parser.error("--recording-full-drive needs --levels")
    if args.deadline is None:
        args.deadline = (args.status_soak or 0) + (480 if args.outages else 150) + \
            (180 if args.levels else 0)
    if args.real_ffmpeg is None:
        arch = wine_env(args.wine_run)["WINEARCH"]
        args.real_ffmpeg = FFMPEG_CACHE / FFMPEG_PACKAGE[arch] / "ffmpeg.exe"
    for name in ("wine_run", "sonafeed", "install", "bridge", "uidrive", "real_ffmpeg", "out"):
        if getattr(args, name) is not None:
            setattr(args, name, getattr(args, name).resolve())
    return args


class Broadcast:
    def __init__(self, args):
        self.args = args
        self.deadline = Deadline(args.deadline)
        self.processes = Processes()
        self.root = Path(tempfile.mkdtemp(prefix="sonafeed-broadcast-"))
        self.out = args.out
        self.out.mkdir(parents=True, exist_ok=True)
        self.checks = []  # (what, passed, detail)
        self.facts = []  # (what, value) for the report
        self.sonafeed = None

    # --- the report -----------------------------------------------------------------------

    def check(self, what, passed, detail=""):
        self.checks.append((what, bool(passed), detail))
        return passed

    def fact(self, what, value):
        self.facts.append((what, value))

    def report(self):
        lines = [f"Sonafeed broadcast at {self.args.bitrate} kbit/s, device position "
                 f"{self.args.device}"]
        width = max((len(what) for what, _ in self.facts), default=0)
        lines += [f"  {what:<{width}}  {value}" for what, value in self.facts]
        lines.append("Checks:")
        lines += [f"  [{'ok' if passed else 'FAILED'}] {what}" + (f": {detail}" if detail else "")
                  for what, passed, detail in self.checks]
        passed = self.checks and all(passed for _, passed, _ in self.checks)
        lines.append("RESULT: " + ("PASS" if passed else "FAIL"))
        return "\n".join(lines), passed

    # --- setting up -----------------------------------------------------------------------

    def set_up(self):
        if not self.args.real_ffmpeg.is_file():
            raise Abort(f"no real ffmpeg.exe at {self.args.real_ffmpeg}: run "
                        f"tests/broadcast/setup.sh")
        port = DEFAULT_RTMP_PORT if port_free(DEFAULT_RTMP_PORT) else free_port()
        # Another broadcast on this machine holds the usual port: the addresses name ours.
        self.server = "127.0.0.1" if port == DEFAULT_RTMP_PORT else f"127.0.0.1:{port}"
        # With the outages the encoder reaches the server through a link that can stall.
        self.link = Link(self.processes, self.out / "link.log", port) if self.args.outages \
            else None
        self.publish_url = f"rtmp://{self.link.address if self.link else self.server}/live/radio"
        self.pull_url = f"rtmp://{self.server}/src/tone2"
        self.nginx = Nginx(self.processes, self.root, port)
        self.nginx.wait_ready(self.deadline)
        self.start_source()
        self.standin = StandIn(self.processes, self.out / "standin.log", f"127.0.0.1:{port}")
        config = [self.args.device, self.publish_url, 0, BITRATES.index(self.args.bitrate),
                  self.pull_url, "broadcast-key", "broadcast-id", 0]
        self.small_drive = self.args.wine_run.parent / "small-drive"
        if self.args.recording_full_drive and not os.path.ismount(self.small_drive):
            self.fact("recording onto a full drive", "not tried: no small drive S: (mounting "
                                                     "it needs root)")
            self.args.recording_full_drive = False
        self.sonafeed = Sonafeed(self.args, self.processes, self.root / "work", config,
                                 self.root.name)

    def start_source(self):
        """The relay's source, publishing to the server until the server goes."""
        self.processes.start(
            ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "warning", "-re", "-f", "lavfi",
             "-i", f"sine=frequency={RELAY_TONE_HZ}:sample_rate=44100", "-c:a", "aac", "-b:a",
             "64k", "-f", "flv", self.pull_url], self.out / "source.log")

    def wait_for_source(self):
        def live():
            try:
                return media.stream_info(self.pull_url, timeout=10).get("codec_name")
            except (subprocess.SubprocessError, ValueError):
                return None
        self.deadline.wait_until(live, 30, "the relay's source on the server", interval=0.5)

    def tear_down(self):
        if self.sonafeed:
            if self.sonafeed.process and self.sonafeed.process.poll() is None:
                self.sonafeed.uidrive("close", 10000, check=False)
            self.sonafeed.end_processes()
        self.processes.stop_all()
        if self.sonafeed:
            self.sonafeed.sweep()
        if self.args.recording_full_drive:
            (self.small_drive / "filler").unlink(missing_ok=True)
            shutil.rmtree(self.small_drive / "录音", ignore_errors=True)
        shutil.rmtree(self.root, ignore_errors=True)

    # --- the scenario ---------------------------------------------------------------------

    def run(self):
        self.set_up()
        self.wait_for_source()
        self.sonafeed.start(self.standin.address, self.out / "wine.log")
        self.start_up()
        self.broadcast()
        # While live: the meter shows the tone.
        self.screenshot()
        if self.args.status_soak:
            self.status_soak(self.args.status_soak)
            return
        first_files = self.first_encoders_files() if self.args.recording else None
        self.kill_encoder()
        if self.args.recording:
            self.recording_is_the_broadcast(first_files)
        cost = None
        if self.args.recording_cost:
            cost = threading.Thread(target=self.recording_cost, daemon=True)
            cost.start()
        if self.args.outages:
            self.outages()
        if cost:
            cost.join()
        if self.args.levels:
            self.levels()
        self.relay_takes_over()
        self.stop_relay()
        if self.args.recording_full_drive:
            self.full_drive_left_the_broadcast_alone()
        closed = self.sonafeed.uidrive("close", 15000, check=False) is not None
        self.check("Sonafeed closes", closed)

    def start_up(self):
        pid = self.sonafeed.uidrive("wait-window", 60000, check=False)
        if pid is None:
            popup = self.sonafeed.uidrive("popup", check=False)
            raise Abort("Sonafeed's dialog did not show" + (f"; it shows {popup}" if popup else ""))
        self.device = self.sonafeed.text(DEVICE)
        match = re.search(r"(\d+)\s*Hz", self.device or "")
        if not match:
            raise Abort(f"device box shows {self.device!r}, not one of the bridge's test tones")
        self.device_hz = int(match.group(1))
        self.fact("device", f"{self.device} ({self.device_hz} Hz tone)")
        self.check("start-up asks the relay's state (play)",
                   self.deadline.wait_until(lambda: self.standin.requests_of("play"), 15,
                                            "the start-up play request"))
        self.check("relay idle at start-up", self.sonafeed.text(START_PULL) == TEXT_START_PULL)
        if not self.args.hide_banner:
            # Learnt from the banner in the device listing.
            self.check("the fallback to aac is logged at start-up",
                       self.deadline.wait_until(lambda: LOG_FALLBACK in self.sonafeed.log(), 15,
                                                "the fallback line at start-up", interval=0.5))

    def broadcast(self):
        before = self.nginx.recordings()
        clicked = time.monotonic()
        self.sonafeed.uidrive("click", START_LIVE)
        try:
            self.recording, first = self.nginx.wait_for_new_recording(
                self.deadline, before, 30, "the broadcast's first audio at the server")
        except Abort:
            self.fact("stream received", "no")
            raise
        self.fact("stream received", "yes")
        self.check("button reads 停止直播", self.sonafeed.text(START_LIVE) == TEXT_STOP_LIVE)
        log = self.sonafeed.log()  # newest first
        self.check("log says 直播中。。。", LOG_LIVE in log)
        refused = LOG_ENCODER_SAYS + NO_LIBFDK_AAC
        if self.args.hide_banner:
            self.fact("click to first audio (banner hidden: refusal, then aac)",
                      f"{first - clicked:.2f} s")
            self.check("the encoder's refusal of libfdk_aac is logged, then the fallback to aac",
                       refused in log and LOG_FALLBACK in log
                       and log.index(LOG_FALLBACK) < log.index(refused))
            self.check("no restart is logged for the refusal", LOG_RESTART not in log)
        else:
            self.fact("click to first audio (banner seen)", f"{first - clicked:.2f} s")
            self.check("no refusal of libfdk_aac is logged", refused not in log)
            # The first encoder still runs and wrote its output since it started.
            self.check("the first encoder publishes with aac",
                       LOG_RESTART not in log and log.count(LOG_FALLBACK) == 1 and
                       any(MAPPED_TO_AAC.search(line) for line in self.sonafeed.net_status()))

        # Enough audio for the encoder to settle (1 s) and then be measured.
        span_ms = (self.args.measure_seconds + 1) * 1000
        self.deadline.wait_until(lambda: self.nginx.recorded_ms(self.recording) >= span_ms,
                                 self.args.measure_seconds + 30, "enough audio to measure")
        info = media.stream_info(self.recording)
        self.fact("codec", f"{info.get('codec_name')}, {info.get('sample_rate')} Hz, "
                           f"{info.get('channels')} channel(s)")
        self.check("codec is AAC", info.get("codec_name") == "aac", info.get("codec_name"))
        self.check("sample rate 44100 Hz", info.get("sample_rate") == 44100,
                   info.get("sample_rate"))
        chosen = int(self.args.bitrate)
        measured = media.bitrate_kbps(media.audio_packets(self.recording))
        within = measured is not None and abs(measured - chosen) <= chosen * BITRATE_TOLERANCE
        self.fact("measured bitrate", f"{measured:.1f} kbit/s (chosen {chosen} kbit/s, "
                                      f"{(measured - chosen) / chosen:+.0%})"
                  if measured else "not measurable")
        self.check(f"bitrate within {BITRATE_TOLERANCE:.0%} of {chosen} kbit/s", within)
        tone = media.tone_hz(media.decode_samples(self.recording, 2, skip_seconds=1))
        self.fact("tone received", f"{tone:.0f} Hz" if tone else "none")
        self.check("the chosen device's tone arrives",
                   tone and abs(tone - self.device_hz) <= self.device_hz * TONE_TOLERANCE)

    def status_soak(self, seconds):
        """The status file of an encoder that writes about 1.5 MB a minute stays flat: the first
        lines and the last part only, while the same encoder publishes on."""
        path = self.args.wine_run.parent / "wineprefix/drive_c/NetStatus.txt"
        sizes = []
        start = time.monotonic()

        def sample():
            sizes.append(path.stat().st_size)
            return time.monotonic() - start >= seconds
        self.deadline.wait_until(sample, seconds + 60, "the status soak", interval=10)
        later = sizes[len(sizes) // 2:]
        self.fact(f"status file over {seconds / 60:.0f} min, sampled every 10 s",
                  f"{min(sizes)} to {max(sizes)} bytes; second half {min(later)} to "
                  f"{max(later)}; last {sizes[-1]}")
        self.check("the status file stays within 1.4 MiB", max(sizes) <= 1.4 * 2 ** 20)
        self.check("the first encoder publishes all along", LOG_RESTART not in self.sonafeed.log())
        recorded = self.nginx.recorded_ms(self.recording) / 1000
        self.fact("recorded at the server", f"{recorded:.0f} s")
        self.check("the stream went on", recorded >= seconds)

    def kill_encoder(self):
        before = self.nginx.recordings()
        killed = time.monotonic()
        # The bridge goes; its job takes the real encoder with it.
        ended = self.sonafeed.uidrive("kill", self.sonafeed.work_windows, "ffmpeg.exe")
        if ended == "0":
            raise Abort("no encoder was running to kill")
        recording, back = self.nginx.wait_for_new_recording(
            self.deadline, before, 30, "the stream's return after the encoder was killed")
        self.fact("encoder killed to stream back", f"{back - killed:.2f} s")

        def restarted_and_live():
            log = self.sonafeed.log()
            return LOG_RESTART in log and log[0] == LOG_LIVE
        self.check("watchdog logs the restart, then 直播中。。。",
                   self.deadline.wait_until(restarted_and_live, 15, "the restart's log lines",
                                            interval=0.5))
        self.expect_device_tone(recording, "the device's tone is back on the server")

    def levels(self):
        """The encoder's own measurements of what it sends, with the real encoder: the meter, the
        alarm and the relay that stands in while the studio is silent, the studio's return, a quiet
        passage that is no silence, and what measuring costs the encoder."""
        changes, _, text = self.sonafeed.uidrive("changes", METER, 3000).partition("\n")
        peaks = [float(peak) for peak in text.split()]
        self.fact("meter, tone at -12 dBFS", f"{text} dBFS, {int(changes) / 3:.1f} updates a second")
        self.check("the meter reads -12 ± 3 dB", peaks and all(abs(p + 12) <= 3 for p in peaks),
                   text)
        self.check("at least 5 level updates a second", int(changes) >= 15, changes)

        before = self.nginx.recordings()
        self.sonafeed.tone("silent")
        silent = time.monotonic()
        alarmed = self.deadline.wait_until(
            lambda: any(line.startswith(LOG_SILENCE_ALARM) for line in self.sonafeed.log())
            and time.monotonic(), SILENCE_SECONDS + 15, "the silence alarm", interval=0.1)
        self.fact("studio silent to the alarm line", f"{alarmed - silent:.2f} s "
                  f"(silence time {SILENCE_SECONDS} s)")
        recording, relayed = self.nginx.wait_for_new_recording(
            self.deadline, before, SILENCE_SECONDS + 30, "the relay's audio after the silence")
        self.fact("studio silent to the relay's audio", f"{relayed - silent:.2f} s")
        self.deadline.wait_until(lambda: self.nginx.recorded_ms(recording) >= 2500, 15,
                                 f"audio in {recording.name}")
        tone = media.tone_hz(media.decode_samples(recording, 1, skip_seconds=1))
        self.check("the relay's tone stands in for the silent studio",
                   tone and abs(tone - RELAY_TONE_HZ) <= RELAY_TONE_HZ * TONE_TOLERANCE,
                   f"{tone:.0f} Hz" if tone else "no tone")

        before = self.nginx.recordings()
        self.sonafeed.tone("-12")
        back = time.monotonic()
        recording, studio = self.nginx.wait_for_new_recording(
            self.deadline, before, RETURN_SECONDS + 30, "the studio's audio after the silence")
        self.fact("sound back to the studio's audio", f"{studio - back:.2f} s "
                  f"(return time {RETURN_SECONDS} s)")
        self.expect_device_tone(recording, "the studio's tone is back after the silence")
        self.check("the silence's end is logged",
                   any(line.startswith(LOG_SOUND_BACK) for line in self.sonafeed.log()))

        # The quiet passage is also where measuring's cost is taken, as below without it.
        alarms = sum(line.startswith(LOG_SILENCE_ALARM) for line in self.sonafeed.log())
        self.sonafeed.tone("-45")
        used = self.sonafeed.encoder_cpu_seconds()
        self.hold(QUIET_PASSAGE_SECONDS, "a quiet passage at -45 dBFS")
        measuring = (self.sonafeed.encoder_cpu_seconds() - used) * 60 / QUIET_PASSAGE_SECONDS
        self.check(f"no alarm in {QUIET_PASSAGE_SECONDS} s at -45 dBFS",
                   sum(line.startswith(LOG_SILENCE_ALARM) for line in self.sonafeed.log())
                   == alarms)

        # Without measuring: the program started again on settings that turn it off.
        self.sonafeed.uidrive("click", START_LIVE)
        self.check("Sonafeed closes", self.sonafeed.uidrive("close", 15000, check=False) is not None)
        settings = self.sonafeed.work / "settings.ini"
        text = settings.read_bytes().replace(b"measure_levels=1", b"measure_levels=0")
        if self.args.recording_full_drive:
            self.fill_small_drive()
            text += FULL_DRIVE_SETTINGS.encode("gbk")
        settings.write_bytes(text)
        before = self.nginx.recordings()
        self.sonafeed.start(self.standin.address, self.out / "wine-2.log")
        self.sonafeed.uidrive("wait-window", 60000)
        self.sonafeed.uidrive("click", START_LIVE)
        self.nginx.wait_for_new_recording(self.deadline, before, 30, "the stream without measuring")
        used = self.sonafeed.encoder_cpu_seconds()
        self.hold(QUIET_PASSAGE_SECONDS / 2, "the encoder without measuring")
        plain = (self.sonafeed.encoder_cpu_seconds() - used) * 60 / (QUIET_PASSAGE_SECONDS / 2)
        self.sonafeed.tone("-12")
        self.fact("encoder CPU time a minute, measuring / not",
                  f"{measuring:.2f} s / {plain:.2f} s ({(measuring - plain) / plain:+.0%})"
                  if plain else "not measurable")
        self.check("the meter stays empty without measuring", not self.sonafeed.text(METER))

    # --- the recording --------------------------------------------------------------------

    def recording_folder(self):
        return self.sonafeed.work / "录音"

    def recorded_files(self):
        return sorted(self.recording_folder().glob("*/*.aac"))

    def first_encoders_files(self):
        """The first encoder's files once its audio spans two file changes."""
        self.deadline.wait_until(lambda: len(self.recorded_files()) >= 3,
                                 3 * RECORDING_PERIOD_SECONDS + 15, "three recording files")
        return self.recorded_files()

    def recording_is_the_broadcast(self, files):
        """The killed first encoder's files against the server's recording of it: the same
        frames, the same codec and tone, up to the kill."""
        self.deadline.wait_until(lambda: len(self.recorded_files()) > len(files), 30,
                                 "the restarted encoder's recording")
        recorded = [size for path in files for size in media.adts_payload_sizes(path)]
        sent = [size for _, size in media.flv_audio_frames(self.recording)]
        info = media.stream_info(files[1])
        tone = media.tone_hz(media.decode_samples(files[1], 2, skip_seconds=1))
        self.fact("recording, a full file", f"{info.get('codec_name')}, "
                  f"{info.get('sample_rate')} Hz, tone {tone:.0f} Hz" if tone else "no tone")
        self.check("the recording is AAC at 44100 Hz with the device's tone",
                   info.get("codec_name") == "aac" and info.get("sample_rate") == 44100 and
                   tone and abs(tone - self.device_hz) <= self.device_hz * TONE_TOLERANCE)

        def kbps(sizes):
            return sum(sizes) * 8 / (len(sizes) * AAC_FRAME_SECONDS) / 1000 if sizes else 0
        ratio = kbps(recorded) / kbps(sent) - 1 if sent else 1
        self.fact("bitrate, recording / server", f"{kbps(recorded):.1f} / {kbps(sent):.1f} kbit/s "
                  f"({ratio:+.2%})")
        self.check("the recording's bitrate within 2 % of the server's", abs(ratio) <= 0.02)
        missing = (len(sent) - len(recorded)) * AAC_FRAME_SECONDS
        changes = len(files) - 1
        self.fact(f"first encoder's audio missing from its {len(files)} files "
                  f"({changes} changes, then the kill)",
                  f"{missing:.3f} s of {len(sent) * AAC_FRAME_SECONDS:.1f} s")
        self.check("at most 0.1 s missing at the file changes and the kill together",
                   missing <= 0.1)

    def recording_cost(self):
        """The real encoder's CPU time a minute with the recording output and without, the two
        running side by side on the same tone."""
        sink = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sink.bind(("127.0.0.1", 0))
        sink.settimeout(0.5)
        stop = threading.Event()

        def drain():
            while not stop.is_set():
                try:
                    sink.recv(65536)
                except OSError:
                    pass
        threading.Thread(target=drain, daemon=True).start()
        server = f"rtmp://127.0.0.1:{self.nginx.port}/src"
        common = [str(self.args.wine_run), str(self.args.real_ffmpeg), "-hide_banner", "-nostats",
                  "-re", "-f", "lavfi", "-i", f"sine=frequency={self.device_hz}:sample_rate=44100",
                  "-ac", "2", "-y"]
        output = ["-c:a", "aac", "-b:a", f"{self.args.bitrate}k"]
        started = [self.processes.start(
            common + ["-map", "0:a", "-flags", "+global_header"] + output +
            ["-f", "tee", f"[f=flv]{server}/cost-tee|[f=adts:onfail=ignore]udp://127.0.0.1:"
                          f"{sink.getsockname()[1]}"], self.out / "cost-tee.log"),
            self.processes.start(common + output + ["-f", "flv", f"{server}/cost-plain"],
                                 self.out / "cost-plain.log")]
        markers = [b"cost-tee", b"cost-plain"]
        try:
            time.sleep(5)  # both encoders settled; what follows is measured
            before = [cpu_seconds_of(marker) for marker in markers]
            time.sleep(RECORDING_COST_SECONDS)
            used = [cpu_seconds_of(marker) - start for marker, start in zip(markers, before)]
        finally:
            for process in started:
                process.kill()
            stop.set()
        tee, plain = (seconds * 60 / RECORDING_COST_SECONDS for seconds in used)
        self.fact("encoder CPU time a minute, with the recording output / without",
                  f"{tee:.2f} s / {plain:.2f} s ({(tee - plain) / plain:+.1%})"
                  if plain > 0 else "not measurable")
        self.check("the encoders' CPU time was measured", tee > 0 and plain > 0)

    def fill_small_drive(self):
        filler = self.small_drive / "filler"
        room = os.statvfs(self.small_drive)
        filler.write_bytes(bytes(room.f_bavail * room.f_frsize - FULL_DRIVE_ROOM))

    def full_drive_left_the_broadcast_alone(self):
        """Every check above passed with the recording's drive full; the log says so once."""
        room = os.statvfs(self.small_drive)
        failed = sum(line.startswith(LOG_RECORDING_FAILED) for line in self.sonafeed.log())
        self.fact("recording onto a full drive", f"{failed} line(s) of the failure, "
                  f"{room.f_bavail * room.f_frsize} bytes left on it")
        self.check("the full recording drive is said once", failed == 1)

    def outages(self):
        """Each outage starts from a running stream and ends with the device's tone back."""
        faults = {"link frozen": self.link_frozen, "server gone": self.server_gone,
                  "link refused": self.link_refused}
        for kind, seconds in OUTAGES:
            faults[kind](f"{kind} {seconds} s", seconds)
        # The relay's source went with the server.
        self.start_source()
        self.wait_for_source()

    def hold(self, seconds, what, watch=lambda: None):
        """Keeps a fault up for `seconds`, calling `watch` about twice a second meanwhile."""
        start = time.monotonic()

        def over():
            watch()
            return time.monotonic() - start >= seconds
        self.deadline.wait_until(over, seconds + 10, what, interval=0.5)

    def link_frozen(self, outage, seconds):
        """The link stops passing data: the encoder's writes block once the link's small
        buffers are full, its status file stops growing and Sonafeed ends it as stalled; new
        encoders and checks of the server wait for an answer until the link runs again."""
        before = self.nginx.recordings()
        stalls = self.sonafeed.log().count(LOG_STALLED)
        frozen = time.monotonic()
        stalled = []

        def watch():
            if not stalled and self.sonafeed.log().count(LOG_STALLED) > stalls:
                stalled.append(time.monotonic())
        self.link.process.send_signal(signal.SIGSTOP)
        try:
            self.hold(seconds, f"the link frozen for {seconds} s", watch)
        finally:
            self.link.process.send_signal(signal.SIGCONT)
        resumed = time.monotonic()
        self.fact(f"{outage}: stall logged after",
                  f"{stalled[0] - frozen:.2f} s" if stalled else "not while frozen")
        self.check(f"{outage}: the stall is logged while the link is frozen", stalled)
        self.back_after(outage, before, resumed)

    def server_gone(self, outage, seconds):
        """The server is killed, so that the link accepts connections and drops them: the
        encoder ends at once. Once the server is started again, Sonafeed sees it answer and
        restarts the encoder without waiting for its schedule, unless a tick of the schedule
        happens to restart it first."""
        before = self.nginx.recordings()
        returns = self.sonafeed.log().count(LOG_SERVER_BACK)
        self.nginx.kill()
        self.hold(seconds, f"the server gone for {seconds} s")
        restarts = self.sonafeed.log().count(LOG_RESTART)
        self.nginx.start()
        self.nginx.wait_ready(self.deadline)
        self.back_after(outage, before, time.monotonic())
        log = self.sonafeed.log()
        logged = log.count(LOG_SERVER_BACK) > returns
        by_tick = not logged and log.count(LOG_RESTART) > restarts
        self.check(f"{outage}: the server's return is logged", logged or by_tick,
                   "not needed: a tick of the schedule restarted the encoder first" if by_tick
                   else "")

    def link_refused(self, outage, seconds):
        """The link's port is closed, its connections reset; then a link listens on it again."""
        before = self.nginx.recordings()
        self.link.stop()
        self.hold(seconds, f"the link's port closed for {seconds} s")
        self.link.start()
        self.back_after(outage, before, time.monotonic())

    def back_after(self, outage, before, cleared):
        """The stream's return after `outage`: from its clearing at `cleared` to the first audio
        of a recording not in `before`, within RECOVERY_SECONDS, with the device's tone."""
        what = f"{outage}: cleared to first audio"
        try:
            recording, back = self.nginx.wait_for_new_recording(
                self.deadline, before, RECOVERY_SECONDS * 2, f"the stream's return after {outage}")
        except Abort:
            self.fact(what, f"not within {RECOVERY_SECONDS * 2} s")
            raise
        self.fact(what, f"{back - cleared:.2f} s")
        self.check(f"{outage}: audio back within {RECOVERY_SECONDS} s of the fault's clearing",
                   back - cleared <= RECOVERY_SECONDS, f"{back - cleared:.2f} s")
        self.expect_device_tone(recording, f"{outage}: the device's tone is back")

    def expect_device_tone(self, recording, what):
        self.deadline.wait_until(lambda: self.nginx.recorded_ms(recording) >= 2500, 15,
                                 f"audio in {recording.name}")
        tone = media.tone_hz(media.decode_samples(recording, 1, skip_seconds=1))
        self.check(what, tone and abs(tone - self.device_hz) <= self.device_hz * TONE_TOLERANCE,
                   f"{tone:.0f} Hz" if tone else "no tone")

    def relay_takes_over(self):
        self.sonafeed.uidrive("click", AUTO_PULL)
        self.deadline.wait_until(lambda: self.sonafeed.uidrive("check", AUTO_PULL) == "1", 10,
                                 "自动拉流 ticked")
        before = self.nginx.recordings()
        stopped = time.monotonic()
        self.sonafeed.uidrive("click", START_LIVE)
        adds = self.deadline.wait_until(lambda: self.standin.requests_of("add"), 15,
                                        "the relay request (add)")
        self.check("add names the pull address and the publish stream",
                   (adds[0].get("appid"), adds[0].get("stream"), adds[0].get("from")) ==
                   ("live", "radio", self.pull_url), adds[0])
        self.deadline.wait_until(lambda: self.sonafeed.text(START_PULL) == TEXT_STOP_PULL, 15,
                                 "button 1012 reading 停止拉流")
        self.check("log says 拉流中。。。", LOG_PULLING in self.sonafeed.log()[:2])
        self.check("button reads 开始直播 again", self.sonafeed.text(START_LIVE) == TEXT_START_LIVE)
        recording, first = self.nginx.wait_for_new_recording(
            self.deadline, before, 30, "the relay's audio on live/radio")
        self.fact("stop to relay's first audio", f"{first - stopped:.2f} s")
        tone = media.tone_hz(media.decode_samples(self.publish_url, 2, timeout=30))
        info = media.stream_info(recording)
        self.fact("relay on live/radio", f"{tone:.0f} Hz, {info.get('codec_name')}"
                  if tone else "no tone")
        self.check("the relay's tone is on live/radio",
                   tone and abs(tone - RELAY_TONE_HZ) <= RELAY_TONE_HZ * TONE_TOLERANCE,
                   f"{tone:.0f} Hz" if tone else "no tone")

    def stop_relay(self):
        self.sonafeed.uidrive("click", START_PULL)
        self.deadline.wait_until(lambda: self.standin.requests_of("del"), 15,
                                 "the relay stop request (del)")
        self.deadline.wait_until(lambda: not self.standin.status()["relay"], 15,
                                 "the stand-in's relay ending")
        self.deadline.wait_until(lambda: self.sonafeed.text(START_PULL) == TEXT_START_PULL, 15,
                                 "button 1012 reading 开始拉流")
        self.check("relay stopped (del, 停止拉流。。。)", LOG_PULL_STOPPED in self.sonafeed.log()[:2])

    def screenshot(self):
        display = (f":{self.args.display_file.read_text().strip()}" if self.args.display_file
                   else os.environ.get("DISPLAY", ""))
        env = dict(os.environ, DISPLAY=display)
        tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, env=env,
                              timeout=30).stdout.decode("utf-8", "replace")
        window = next((line.split()[0] for line in tree.splitlines()
                       if f'"{CAPTION}"' in line), None)
        path = self.out / "screenshot.png"
        taken = window and subprocess.run(["import", "-window", window, str(path)], env=env,
                                          capture_output=True, timeout=60).returncode == 0
        self.fact("screenshot", str(path) if taken else "not taken")
        self.check("screenshot written", taken)

    def diagnostics(self):
        parts = []
        if self.sonafeed and self.sonafeed.process:
            running = self.sonafeed.process.poll() is None
            shown = self.sonafeed.log() if running else []
            # A program that has ended or stopped answering still has its daily log file.
            files = sorted((self.sonafeed.work / "log").glob("*-*-*.txt"))
            state = ("has ended" if not running else "does not answer" if
                     session_server_running(self.args.wine_run) else "lost its Wine session")
            parts.append("Sonafeed's log:\n  " + "\n  ".join(shown) if shown else
                         f"Sonafeed {state}; the end of its log file:\n" +
                         (tail(files[-1], 30, "gbk") if files else "(none)"))
            parts.append("Wine's output:\n" + tail(self.out / "wine.log", 30))
        parts.append("open API stand-in:\n" + tail(self.out / "standin.log"))
        parts.append("nginx:\n" + tail(self.root / "nginx-error.log"))
        # The last encoder's output: each start empties the file.
        status = self.args.wine_run.parent / "wineprefix/drive_c/NetStatus.txt"
        parts.append("NetStatus.txt, first lines:\n" + head(status, 8))
        return "\n".join(parts)

    def interactive(self):
        self.set_up()
        display = os.environ.get("DISPLAY")
        self.sonafeed.start(self.standin.address, self.out / "wine.log", display=display)
        print(f"""Sonafeed.exe runs on {display} in {self.sonafeed.work}.
  RTMP server (nginx)  {self.publish_url} is where 开始直播 publishes
  relay source         {self.pull_url} (a {RELAY_TONE_HZ} Hz tone; 开始拉流 relays it)
  open API stand-in    {self.standin.address}, log in {self.out / 'standin.log'}
Listen with: ffplay {self.publish_url}
Close Sonafeed's window to end the demonstration.""", flush=True)
        self.sonafeed.process.wait()


def main():
    args = parse_args()
    # CTest's time-out and Ctrl+C end the script through its clean-up.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    run = Broadcast(args)
    failure = None
    try:
        if args.interactive:
            run.interactive()
            return 0
        run.run()
    except Abort as error:
        failure = str(error)
        run.check("scenario completed", False, failure)
    except (subprocess.SubprocessError, OSError, ValueError) as error:
        failure = f"{type(error).__name__}: {error}"
        run.check("scenario completed", False, failure)
    finally:
        diagnostics = run.diagnostics() if failure else ""
        run.tear_down()
    text, passed = run.report()
    if diagnostics:
        text += "\n\n" + diagnostics
    (run.out / "report.txt").write_text(text + "\n", encoding="utf-8")
    print(text)
    if not passed and not session_server_running(args.wine_run):
        print("The Wine session's wineserver has ended: the run cannot tell anything.")
        return SESSION_LOST
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
