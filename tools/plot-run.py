#!/usr/bin/python3
"""Plots of an obstacle-track run, from its JSON Lines (--json) and, optionally, the car's poses.

    tools/plot-run.py RUN.jsonl OUTDIR [--poses POSES.txt] [--fps HZ] [--min-frames N]

Writes, as PNG:
  OUTDIR/tracks.png  distance and lateral position over time of each confirmed trajectory; with
                     --poses, dashed beside each the ego-motion prediction: where the trajectory's
                     first confirmed position would be seen in each later frame if it stood still
                     (KITTI's poses, line k for frame k, as obstacle-track's --poses reads them).
  OUTDIR/road.png    the road profile each frame used: its own, kept (its own refused) or
                     re-seeded, and in how many frames each.
Needs python3 and matplotlib (Debian: python3-matplotlib). Exit status 0, or 2 with a message on a
bad argument or file.
"""
import argparse
import json
import os
import sys

PROFILES = ["own", "reseeded", "kept"]  # the road profile a frame used, top to bottom in road.png
PROFILE_COLOURS = {"own": "tab:green", "reseeded": "tab:orange", "kept": "tab:red"}
LEGEND_MAX_TRAJECTORIES = 12            # more trajectories than this are drawn without a legend entry
FIGURE_DPI = 100


def Fail(message):
    print("plot-run: " + message, file=sys.stderr)
    sys.exit(2)


def ReadRun(path):
    """The run's frames, in file order; each a dict as obstacle-track wrote it."""
    frames = []
    try:
        with open(path) as lines:
            for number, line in enumerate(lines, 1):
                try:
                    frame = json.loads(line)
                    int(frame["frame"])
                    frame["road"]["profile"]
                    list(frame["tracks"])
                except (ValueError, KeyError, TypeError) as problem:
                    Fail("%s: line %d is not an obstacle-track frame (%s)" % (path, number, problem))
                frames.append(frame)
    except OSError as problem:
        Fail("%s: %s" % (path, problem.strerror))
    if not frames:
        Fail("%s: no frames" % path)
    return frames


def ReadPoses(path):
    """KITTI poses: per line a 3 x 4 row-major [R | t], camera to the first frame's axes."""
    poses = []
    try:
        with open(path) as lines:
            for number, line in enumerate(lines, 1):
                values = line.split()
                if len(values) != 12:
                    Fail("%s: line %d holds %d numbers, 12 expected" % (path, number, len(values)))
                try:
                    m = [float(v) for v in values]
                except ValueError:
                    Fail("%s: line %d is not 12 numbers" % (path, number))
                poses.append(([m[0:3], m[4:7], m[8:11]], [m[3], m[7], m[11]]))
    except OSError as problem:
        Fail("%s: %s" % (path, problem.strerror))
    return poses


def ToWorld(pose, point):
    rotation, t = pose
    return [sum(rotation[i][j] * point[j] for j in range(3)) + t[i] for i in range(3)]


def ToCamera(pose, point):
    rotation, t = pose
    d = [point[i] - t[i] for i in range(3)]
    return [sum(rotation[j][i] * d[j] for j in range(3)) for i in range(3)]


def Trajectories(frames):
    """Per confirmed trajectory number: its (frame, z_m, x_m) points, from its first frame on."""
    points, confirmed = {}, set()
    for frame in frames:
        for track in frame["tracks"]:
            if track.get("z_m") is None or track.get("x_m") is None:
                continue
            number = track["track"]
            points.setdefault(number, []).append((frame["frame"], track["z_m"], track["x_m"], track["confirmed"]))
            if track["confirmed"]:
                confirmed.add(number)
    return {n: p for n, p in points.items() if n in confirmed}


def StaticPrediction(points, poses):
    """Where the trajectory's first confirmed point would be seen later if it stood still."""
    first = next(p for p in points if p[3])
    start = first[0]
    if start >= len(poses):
        return []
    world = ToWorld(poses[start], [first[2], 0.0, first[1]])
    last = points[-1][0]
    prediction = []
    for frame in range(start, min(last, len(poses) - 1) + 1):
        x, _, z = ToCamera(poses[frame], world)
        prediction.append((frame, z, x))
    return prediction


def PlotTracks(plt, frames, poses, seconds, minFrames, path):
    trajectories = {n: p for n, p in Trajectories(frames).items() if len(p) >= minFrames}
    figure, (distance, lateral) = plt.subplots(2, 1, sharex=True, figsize=(10, 8))
    colours = plt.rcParams["axes.prop_cycle"].by_key()["color"]
    for index, (number, points) in enumerate(sorted(trajectories.items())):
        colour = colours[index % len(colours)]
        label = "track %d" % number if index < LEGEND_MAX_TRAJECTORIES else None
        t = [seconds(p[0]) for p in points]
        distance.plot(t, [p[1] for p in points], "-", color=colour, label=label)
        lateral.plot(t, [p[2] for p in points], "-", color=colour)
        if poses:
            predicted = StaticPrediction(points, poses)
            tp = [seconds(p[0]) for p in predicted]
            distance.plot(tp, [p[1] for p in predicted], "--", color=colour, linewidth=1)
            lateral.plot(tp, [p[2] for p in predicted], "--", color=colour, linewidth=1)
    title = "%d confirmed trajectories" % len(trajectories)
    if poses:
        title += " (dashed: a static object's position by the car's own motion)"
    distance.set_title(title)
    distance.set_ylabel("distance z (m)")
    lateral.set_ylabel("lateral position x (m, right +)")
    lateral.set_xlabel(seconds.label)
    for axes in (distance, lateral):
        axes.grid(True, alpha=0.3)
    if trajectories:
        distance.legend(fontsize="small", ncol=2, loc="upper right")
    figure.tight_layout()
    figure.savefig(path, dpi=FIGURE_DPI)
    plt.close(figure)


def PlotRoad(plt, frames, seconds, path):
    figure, axes = plt.subplots(figsize=(10, 3))
    for row, profile in enumerate(PROFILES):
        t = [seconds(f["frame"]) for f in frames if f["road"]["profile"] == profile]
        axes.scatter(t, [row] * len(t), marker="|", s=300, color=PROFILE_COLOURS[profile],
                     label="%s: %d frames" % (profile, len(t)))
    axes.set_yticks(range(len(PROFILES)))
    axes.set_yticklabels(PROFILES)
    axes.set_ylim(len(PROFILES) - 0.5, -0.5)
    accepted = sum(1 for f in frames if f["road"]["accepted"])
    axes.set_title("road profile: accepted in %d of %d frames" % (accepted, len(frames)))
    axes.set_xlabel(seconds.label)
    axes.legend(fontsize="small", loc="center left", bbox_to_anchor=(1.0, 0.5))
    axes.grid(True, axis="x", alpha=0.3)
    figure.tight_layout()
    figure.savefig(path, dpi=FIGURE_DPI)
    plt.close(figure)


class Seconds:
    """Frame numbers to the time axis: seconds from the first frame at --fps, else frame numbers."""

    def __init__(self, first, fps):
        self.first, self.fps = first, fps
        self.label = "time (s)" if fps else "frame"

    def __call__(self, frame):
        return (frame - self.first) / self.fps if self.fps else frame


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("run", help="obstacle-track's --json output (JSON Lines)")
    parser.add_argument("outdir", help="folder for tracks.png and road.png (made where missing)")
    parser.add_argument("--poses", help="the car's poses, KITTI's poses.txt (line k: frame k)")
    parser.add_argument("--fps", type=float, help="frames per second: time in seconds, else frame numbers")
    parser.add_argument("--min-frames", type=int, default=1, help="leave out trajectories seen in fewer frames")
    args = parser.parse_args()
    if args.fps is not None and not args.fps > 0:
        Fail("--fps: %s is not a number above 0" % args.fps)
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        Fail("needs matplotlib (Debian: python3-matplotlib)")
    frames = ReadRun(args.run)
    poses = ReadPoses(args.poses) if args.poses else None
    try:
        os.makedirs(args.outdir, exist_ok=True)
    except OSError as problem:
        Fail("%s: %s" % (args.outdir, problem.strerror))
    seconds = Seconds(frames[0]["frame"], args.fps)
    PlotTracks(plt, frames, poses, seconds, args.min_frames, os.path.join(args.outdir, "tracks.png"))
    PlotRoad(plt, frames, seconds, os.path.join(args.outdir, "road.png"))


if __name__ == "__main__":
    main()
