"""Measures what an RTMP server received: FLV recordings read as they grow, AAC packets and
tones read back with the Linux ffprobe and ffmpeg."""

import array
import json
import subprocess
from pathlib import Path

SAMPLE_RATE = 44100
FLV_AUDIO_TAG = 8
FLV_AAC = 10
AAC_RAW_FRAME = 1


def flv_audio_frames(path):
    """(timestamp in ms, payload size) of each complete raw AAC frame in the FLV file, which
    may still be growing: a tag cut off at the end is not counted."""
    data = Path(path).read_bytes()
    frames = []
    if len(data) < 13 or data[:3] != b"FLV":
        return frames
    at = int.from_bytes(data[5:9], "big") + 4  # header, then the first previous-tag size
    while at + 11 <= len(data):
        kind = data[at] & 0x1F
        size = int.from_bytes(data[at + 1:at + 4], "big")
        timestamp = int.from_bytes(data[at + 4:at + 7], "big") | data[at + 7] << 24
        body = data[at + 11:at + 11 + size]
        if len(body) < size:
            break
        if (kind == FLV_AUDIO_TAG and size >= 2 and body[0] >> 4 == FLV_AAC
                and body[1] == AAC_RAW_FRAME):
            frames.append((timestamp, size - 2))
        at += 11 + size + 4
    return frames


def adts_payload_sizes(path):
    """The payload size of each whole ADTS frame in the file, header left out."""
    data = Path(path).read_bytes()
    sizes = []
    at = 0
    while at + 7 <= len(data) and data[at] == 0xFF and data[at + 1] & 0xF6 == 0xF0:
        length = (data[at + 3] & 3) << 11 | data[at + 4] << 3 | data[at + 5] >> 5
        header = 7 if data[at + 1] & 1 else 9  # protection absent, or a CRC follows
        if length < header or at + length > len(data):
            break
        sizes.append(length - header)
        at += length
    return sizes


def probe_options(source):
    """A live stream announces no stream count: without a limit the probe waits 5 s for a video
    stream that never comes."""
    return ["-analyzeduration", "1000000"] if "://" in str(source) else []


def stream_info(source, timeout=30):
    """The first audio stream's codec_name, sample_rate (int) and channels (int)."""
    out = subprocess.run(
        ["ffprobe", "-v", "error", *probe_options(source), "-select_streams", "a:0", "-show_entries",
         "stream=codec_name,sample_rate,channels", "-of", "json", str(source)],
        capture_output=True, text=True, timeout=timeout, check=True).stdout
    streams = json.loads(out).get("streams", [])
    if not streams:
        return {}
    stream = streams[0]
    return {"codec_name": stream.get("codec_name"),
            "sample_rate": int(stream.get("sample_rate", 0)),
            "channels": int(stream.get("channels", 0))}


def audio_packets(source, timeout=30):
    """(pts in seconds, size in bytes) of each audio packet, in order."""
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
         "packet=pts_time,size", "-of", "csv=p=0", str(source)],
        capture_output=True, text=True, timeout=timeout, check=True).stdout
    packets = []
    for line in out.split():
        pts, size = line.split(",")[:2]
        if pts != "N/A":
            packets.append((float(pts), int(size)))
    return packets


def bitrate_kbps(packets, skip_seconds=1.0):
    """The payload bitrate in kbit/s from the packets after the first `skip_seconds`, when the
    encoder has settled; None with fewer than two such packets."""
    if not packets:
        return None
    start = packets[0][0] + skip_seconds
    window = [p for p in packets if p[0] >= start]
    if len(window) < 2:
        return None
    # Each packet lasts until the next starts: the last one's bytes belong to no measured time.
    span = window[-1][0] - window[0][0]
    return sum(size for _, size in window[:-1]) * 8 / span / 1000 if span > 0 else None


def decode_samples(source, seconds, skip_seconds=0.0, timeout=60):
    """Mono signed 16-bit samples at SAMPLE_RATE, decoded from a file or a live stream."""
    command = ["ffmpeg", "-nostdin", "-v", "error"]
    if skip_seconds:
        command += ["-ss", str(skip_seconds)]
    command += [*probe_options(source), "-i", str(source), "-t", str(seconds), "-ac", "1", "-ar", str(SAMPLE_RATE),
                "-f", "s16le", "-"]
    raw = subprocess.run(command, capture_output=True, timeout=timeout, check=True).stdout
    samples = array.array("h")
    samples.frombytes(raw[:len(raw) - len(raw) % 2])
    return samples


def tone_hz(samples):
    """The frequency of a pure tone, from its upward crossings of a band around zero (the band
    keeps coding noise from counting twice); None without a clear tone."""
    if len(samples) < SAMPLE_RATE // 10:
        return None
    peak = max(abs(s) for s in samples)
    if peak < 100:
        return None
    band = peak // 4
    crossings = []
    below = samples[0] < 0
    for index, sample in enumerate(samples):
        if below and sample > band:
            crossings.append(index)
            below = False
        elif not below and sample < -band:
            below = True
    if len(crossings) < 3:
        return None
    return (len(crossings) - 1) * SAMPLE_RATE / (crossings[-1] - crossings[0])
