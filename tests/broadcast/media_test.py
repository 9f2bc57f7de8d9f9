"""The broadcast's instruments, checked against recordings of known content made with the
Linux ffmpeg: a wrong measurement would pass or fail a broadcast for the wrong reason."""

import math
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import media  # noqa: E402


def make_tone(path, frequency, bitrate_k, seconds):
    subprocess.run(
        ["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
         f"sine=frequency={frequency}:sample_rate=44100", "-t", str(seconds), "-c:a", "aac",
         "-b:a", f"{bitrate_k}k", "-f", "flv", str(path)], check=True, timeout=60)


class Recordings(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.tones = {}
        for frequency, bitrate in ((440, 48), (1000, 128)):
            path = Path(cls.dir.name) / f"tone-{frequency}-{bitrate}.flv"
            make_tone(path, frequency, bitrate, 6)
            cls.tones[(frequency, bitrate)] = path

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_stream_info_and_bitrate(self):
        for (_, bitrate), path in self.tones.items():
            with self.subTest(bitrate=bitrate):
                self.assertEqual(media.stream_info(path),
                                 {"codec_name": "aac", "sample_rate": 44100, "channels": 1})
                measured = media.bitrate_kbps(media.audio_packets(path))
                self.assertLess(abs(measured - bitrate) / bitrate, 0.15, measured)

    def test_tone_frequency(self):
        for (frequency, _), path in self.tones.items():
            with self.subTest(frequency=frequency):
                measured = media.tone_hz(media.decode_samples(path, 2, skip_seconds=1))
                self.assertAlmostEqual(measured, frequency, delta=frequency * 0.01)

    def test_growing_file_counts_only_complete_frames(self):
        path = self.tones[(440, 48)]
        data = path.read_bytes()
        frames = media.flv_audio_frames(path)
        # 6 s of 1024-sample frames, the last one possibly short.
        self.assertAlmostEqual(len(frames), 6 * 44100 / 1024, delta=2)
        self.assertEqual([t for t, _ in frames], sorted(t for t, _ in frames))
        cut = Path(self.dir.name) / "cut.flv"
        for length, expected in ((0, 0), (12, 0), (len(data) // 2, None), (len(data) - 5, None)):
            with self.subTest(length=length):
                cut.write_bytes(data[:length])
                counted = media.flv_audio_frames(cut)
                if expected is None:
                    self.assertLess(len(counted), len(frames))
                    self.assertEqual(counted, frames[:len(counted)])
                else:
                    self.assertEqual(len(counted), expected)


class Calculations(unittest.TestCase):
    def test_bitrate_skips_the_settling_time_and_the_open_packet(self):
        # 1 s of large packets, then 50 packets of 125 bytes every 20 ms: 50 kbit/s.
        packets = [(i * 0.02, 1000) for i in range(50)]
        packets += [(1.0 + i * 0.02, 125) for i in range(51)]
        self.assertAlmostEqual(media.bitrate_kbps(packets), 50.0)
        self.assertIsNone(media.bitrate_kbps(packets[:50]))
        self.assertIsNone(media.bitrate_kbps([]))

    def test_tone_from_noisy_samples(self):
        samples = [int(8000 * math.sin(2 * math.pi * 880 * i / 44100) + 300 * ((i * 7919) % 3 - 1))
                   for i in range(44100)]
        self.assertAlmostEqual(media.tone_hz(samples), 880, delta=2)
        self.assertIsNone(media.tone_hz([0] * 44100))


if __name__ == "__main__":
    unittest.main()
