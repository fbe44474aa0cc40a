"""Aligns a live recording of the show with its capture and prints how far
the picture is from the sound. Called by sync-bench.sh; see there."""
import re
import sys

import numpy as np

W, H = 160, 120
REF_FPS = 200


def frames(path):
    data = np.fromfile(path, dtype=np.uint8)
    return data[: len(data) // (W * H) * W * H].reshape(-1, W * H)


def wav_samples(path):
    data = open(path, "rb").read()
    at = 12
    while at + 8 <= len(data):
        size = int.from_bytes(data[at + 4 : at + 8], "little")
        if data[at : at + 4] == b"data":
            return np.frombuffer(data[at + 8 : at + 8 + size], dtype="<i2").reshape(-1, 2)
        at += 8 + size + (size & 1)
    sys.exit("sync.py: no samples in " + path)


def envelope(samples, window):
    mono = np.abs(samples.astype(np.float64)).sum(axis=1)
    n = len(mono) // window
    return mono[: n * window].reshape(n, window).mean(axis=1)


def correlation(a, b):
    a = a - a.mean()
    b = b - b.mean()
    return float(np.dot(a, b) / (np.sqrt(np.dot(a, a) * np.dot(b, b)) + 1e-9))


def sound_map(ref, live):
    """For each half second of the capture's music, the frame of the live
    recording where it is heard, found on its own: a sound server that ran
    dry for a moment shifts what follows, and shows here as a jump.
    Returns (capture frame, live frame, correlation) rows."""
    window = 44  # about 1 ms
    a, b = envelope(ref, window), envelope(live, window)
    za, zb = a - a.mean(), b - b.mean()
    n = 1 << int(np.ceil(np.log2(len(a) + len(b))))
    corr = np.fft.irfft(np.fft.rfft(zb, n) * np.conj(np.fft.rfft(za, n)), n)[: max(1, len(b) - len(a) + 1)]
    lag = int(np.argmax(corr))  # in windows, for the whole
    rows = []
    seg = 500  # windows: half a second
    for k in range(0, len(a) - seg + 1, seg):
        best, at = -1.0, lag
        for d in range(-300, 301):
            j = k + lag + d
            if j < 0 or j + seg > len(b):
                continue
            c = correlation(a[k : k + seg], b[j : j + seg])
            if c > best:
                best, at = c, lag + d
        if best < 0.8:
            continue
        lag = at
        # To the frame, on the waveforms.
        ra = ref[k * window : (k + seg) * window, 0].astype(np.float64)
        fine, frame = -1.0, (k + lag) * window
        for d in range(-window, window + 1):
            s = (k + lag) * window + d
            if s < 0 or s + len(ra) > len(live):
                continue
            c = correlation(ra, live[s : s + len(ra), 0].astype(np.float64))
            if c > fine:
                fine, frame = c, s
        rows.append((k * window, frame, fine))
    return rows


def show_info_times(log, name, unit):
    """Timestamps of the frames a showinfo filter printed, in seconds: pts
    counts units of the stream's time base (printed pts_time is rounded)."""
    times = []
    for line in open(log, errors="replace"):
        for m in re.finditer(name + r" @ [^]]*\] n:\s*\d+ pts:\s*(\d+)", line):
            times.append(int(m.group(1)) * unit)
    return times


def sound_packets(log):
    """(first sample, wall time) of each packet of sound recorded: a
    recorder that fell behind loses packets, and only their timestamps
    tell where the samples after a loss belong."""
    rows, at = [], 0
    pattern = r"Parsed_ashowinfo_0 @ [^]]*\] n:\s*\d+ pts:\s*(\d+) .*?nb_samples:\s*(\d+)"
    for line in open(log, errors="replace"):
        for m in re.finditer(pattern, line):
            rows.append((at, int(m.group(1)) / 44100.0))
            at += int(m.group(2))
    return np.array([r[0] for r in rows]), np.array([r[1] for r in rows])


def main():
    ref_gray, ref_wav, ref_trace, live_gray, live_raw, screen_log, sound_log, title = sys.argv[1:9]
    ref = frames(ref_gray)
    # Each picture the capture drew, with the time it first showed.
    changed = np.ones(len(ref), dtype=bool)
    changed[1:] = np.any(ref[1:] != ref[:-1], axis=1)
    ref_idx = np.nonzero(changed)[0]
    ref_pics = ref[ref_idx].astype(np.int16)
    ref_time = ref_idx / REF_FPS

    live = frames(live_gray)
    vtimes = show_info_times(screen_log, "Parsed_showinfo_0", 1e-6)[: len(live)]  # x11grab: microseconds
    packet_at, packet_wall = sound_packets(sound_log)
    if not vtimes or not len(packet_at):
        sys.exit("sync.py: no timestamps in " + screen_log + " or " + sound_log)
    live = live[: len(vtimes)]
    heard = np.fromfile(live_raw, dtype="<i2")
    heard = heard[: len(heard) // 2 * 2].reshape(-1, 2)
    smap = sound_map(wav_samples(ref_wav), heard)
    if len(smap) < 4:
        sys.exit("sync.py: the capture's music is not in the recording")
    cap_s = np.array([r[0] for r in smap]) / 44100.0
    # The wall time at which each of those moments of the music was heard.
    live_frames = np.array([r[1] for r in smap])
    p = np.clip(np.searchsorted(packet_at, live_frames, side="right") - 1, 0, len(packet_at) - 1)
    wall_s = packet_wall[p] + (live_frames - packet_at[p]) / 44100.0
    steps = np.diff(wall_s - cap_s) * 1000.0
    jumps = int((np.abs(steps) > 2.0).sum())

    def heard_at(t):
        """Wall time at which capture time t is heard."""
        i = int(np.clip(np.searchsorted(cap_s, t) - 1, 0, len(cap_s) - 1))
        return wall_s[i] + (t - cap_s[i])

    # Hand-overs of the capture: timer and music ms, from its trace.
    handovers = []
    for line in open(ref_trace):
        f = line.split()
        if len(f) >= 4:
            handovers.append((f[0], int(f[3]) / 1000.0))

    live_changed = np.ones(len(live), dtype=bool)
    live_changed[1:] = np.any(live[1:] != live[:-1], axis=1)
    grab = 1.0 / 60
    rows = []  # (capture time of the picture, offset in ms)
    for j in np.nonzero(live_changed)[0]:
        shown = vtimes[j] - grab / 2
        seen = shown - (heard_at(0.0) - 0.0)
        seen = shown - heard_at(seen) + seen
        near = np.nonzero(np.abs(ref_time - seen) < 0.6)[0]
        if len(near) < 2:
            continue
        pic = live[j].astype(np.int16)
        if pic.max() - pic.min() < 16:
            continue  # a plain picture matches anywhere
        diff = np.abs(ref_pics[near] - pic).mean(axis=1)
        order = np.argsort(diff)
        best = near[order[0]]
        if diff[order[0]] > 1.0 or diff[order[1]] < diff[order[0]] * 1.5 + 0.05:
            continue  # not found, or not told apart from another picture
        rows.append((ref_time[best], (shown - heard_at(ref_time[best])) * 1000.0))
    if len(rows) < 10:
        sys.exit("sync.py: only %d pictures found in the capture" % len(rows))
    t = np.array([r[0] for r in rows])
    off = np.array([r[1] for r in rows])

    print("%s: %d pictures seen, %d found in the capture; the music found in %d of %d half seconds "
          "(least correlation %.3f), %d jumps of the sound (the server ran dry)" %
          (title, int(live_changed.sum()), len(rows), len(smap), len(wav_samples(ref_wav)) // 22050,
           min(r[2] for r in smap), jumps))
    print("offset of the picture against the sound (ms, positive: the picture late):")
    print("  %-14s %8s %8s %8s %8s %6s" % ("part", "from s", "median", "5 %", "95 %", "n"))
    bounds = [("start", 0.0)] + [(h[0], h[1]) for h in handovers]
    for k, (name, begin) in enumerate(bounds):
        finish = bounds[k + 1][1] if k + 1 < len(bounds) else 1e9
        sel = (t >= begin) & (t < finish)
        if sel.sum() == 0:
            continue
        label = "after " + name if k else "first part"
        print("  %-14s %8.2f %8.1f %8.1f %8.1f %6d" %
              (label[:14], begin, np.median(off[sel]), np.percentile(off[sel], 5), np.percentile(off[sel], 95),
               sel.sum()))
    print("at each hand-over (first picture of the next part):")
    for name, at in handovers:
        sel = np.nonzero(t >= at)[0]
        if len(sel):
            print("  %-14s at %7.2f s: %6.1f ms" % (name, at, off[sel[0]]))
    # Drift: a line through the pictures found, leaving out those more than
    # 100 ms from the median (a picture taken for a like one elsewhere).
    keep = np.abs(off - np.median(off)) < 100
    slope, icpt = np.polyfit(t[keep], off[keep], 1)
    print("drift: %+.3f %% (%.1f ms at the start, %.1f ms at the end, %d of %d pictures); "
          "95 %% of the offsets within %.1f ms" %
          (slope / 10.0, icpt + slope * t.min(), icpt + slope * t.max(), keep.sum(), len(off),
           np.percentile(np.abs(off), 95)))


main()
