#!/usr/bin/env bash
# Builds the Release benchmarks and prints each speed target's figure against
# its target, measured on this machine in CPU time (the machine may be shared,
# so wall time would mostly measure the neighbours):
#   - a real photo of 5 MP reduced into 640 x 480: at most 3 ms;
#   - the same photo at 12 MP: at most 6 ms;
#   - the reduction's kernels alone, per source megapixel of a 5 and a 12 MP
#     photo (bench/resize_bench BM_ReduceRowsPerMegapixel, AVX2): at most half
#     what they cost before they were reworked (852 and 448 us, measured on
#     the 2-core bench machine);
#   - the start of a run over an empty tree: at most 2x djpeg's start (djpeg
#     decoding a tiny JPEG to /dev/null);
#   - a cold run over the photo tree on one core (QUORVEL_JOBS=1, -force on a
#     copy): at most 1.0x the CPU of djpeg decoding each photo at full size,
#     beside djpeg -scale 1/8 and vipsthumbnail (libvips-tools, when installed);
#   - a cold run of the tree on two cores: at most 0.50x the wall time of
#     djpeg decoding each photo one after another (WALL_RUNS, default 3, pairs);
#   - a cold run over the 12 MP photo alone on one core: at most 1.15x the CPU
#     of djpeg decoding it;
#   - the peak resident set of that run, less that of an empty-tree run: at
#     most a quarter of the photo's RGB raster (and for a progressive copy, a
#     quarter plus the coefficient buffer the JPEG library keeps for it);
#   - that run on the photo tagged with each Exif orientation 5 to 8: at most
#     1.10x the CPU of orientation 1;
#   - a warm run (nothing to make) over WARM_PICTURES (default 20000) small
#     pictures in one directory, a quarter of them, and all of them in 50
#     directories: at most 0.1 ms CPU per picture (WARM_REPS, default 3, runs);
#   - with -exif: a cold run of the photo tree on one core within 1.02x the
#     same run without it (paired), and a warm run over 5,000 small pictures
#     that carry a title, a description and camera facts: at most 0.12 ms CPU
#     a picture;
#   - formats: for PNG, WebP, HEIC and AVIF made from the 12 MP photo, the
#     three derived pictures on one core for at most 1.15x the CPU of that
#     format's library decoding the same file at full size (REPS pairs, in
#     one run of bench/format_bench);
#   - formatwarm: a warm -allpics run over FORMAT_WARM (default 5000) small
#     pictures of each added format: at most 0.1 ms CPU per picture;
#   - out: with -out:, a cold run of the photo tree on one core within 1.05x
#     the CPU of the same run beside the pictures (COLD_REPS pairs; the same
#     pictures made, the library left as it was); a warm run over OUT_PICTURES
#     (default 5000) pictures in 50 directories within 1.1x the run beside
#     them (WARM_REPS pairs); and the run after a tenth of those pictures is
#     deleted from the library removes exactly their files from the out
#     folder, in at most 2x the CPU of the warm run before it;
#   - hidpi: a cold run of the photo tree on one core with -hidpi within 1.35x
#     the CPU of the run without it (COLD_REPS pairs), with where the extra
#     goes; a warm -hidpi run over HIDPI_PICTURES (default 5000) pictures, in
#     one directory and in 50: at most 0.12 ms CPU a picture; and the first
#     screen of a 200-picture folder in Chromium: with -hidpi no more bytes
#     than without on a 1x desktop (1366 x 768), at most 3x on a 3x phone
#     (390 x 844). Needs node, npm and chromium (as the browser tests); perf,
#     when present, splits the cold run's CPU.
#   - poster: for 10 phone-like videos made with ffmpeg (1080p and 4K, H.264
#     and HEVC, 30 frames a second, a key frame each second, some portrait or
#     turned by their display matrix), a video's poster fitted into the
#     medium view's box (bench/poster_bench, one thread) for at most 2x the
#     CPU of `ffmpeg -ss 1 -i VIDEO -frames:v 1 -f null -` (its user and
#     system time, REPS runs each): the median of the 10 ratios, with their
#     spread. Needs ffmpeg; runs before the photo tree is made, and
#     SECTIONS=poster runs it alone without one.
#   - today: a phone's folder (the photo tree, 10 phone videos of 3 s at 1080p,
#     some portrait, and 2 Live Photo pairs) made with -today on one core,
#     cold (-force) and warm, beside the same folder made without it
#     (COLD_REPS pairs); and a warm -today run maps no FFmpeg library (it
#     reads the videos' dates only). Needs ffmpeg.
#   - xmp: warm and cold runs over 100 photos that each carry 7.8 MB of
#     extended XMP within 1.2x the CPU of the same runs over them without it
#     (paired).
#
#   scripts/bench.sh [PHOTO-TREE]
#
# PHOTO-TREE (default /tmp/qv-photos) is a tree of real photos, as made by
# scripts/make-photo-tree.sh; when it holds no JPEG, that script is
# run into a scratch directory. Its largest photo is scaled and cropped with
# ImageMagick to 2592 x 1944 (5 MP) and 4000 x 3000 (12 MP).
# REPS (environment, default 15) repetitions of each reduction, RUNS (default
# 200) starts of each program; the figures are medians, with the spread.
# REPS also counts the paired runs on the 12 MP photo and its orientations.
# SECTIONS (environment) picks some of: reduction start cold wall one12 memory
# orient warm exif formats formatwarm out hidpi poster today xmp (default all). REF (environment) names a reference binary (an
# earlier build): the cold, wall and warm sections then run it too, paired
# with this build, and print this build's figure against it.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
tree="${1:-/tmp/qv-photos}"
reps="${REPS:-15}"
runs="${RUNS:-200}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
want() { [[ -z "${SECTIONS:-}" || " $SECTIONS " == *" $1 "* ]]; }

for tool in convert identify djpeg jpegtran exiftool python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (imagemagick, libjpeg-turbo-progs, libimage-exiftool-perl, time)" >&2; exit 1; }
done

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BENCH=ON -DQUORVEL_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target resize_bench format_bench poster_bench quorvel >/dev/null

# ---------------------------------------------------------------- poster
# Six encodes, four of them turned again by their display matrix alone (a
# copy with rotate=90 or 270, as phones record portrait).
if want poster; then
  command -v ffmpeg >/dev/null || { echo "bench: ffmpeg is missing" >&2; exit 1; }
  mkdir -p "$work/videos"
  encode() {  # name size codec
    local codec=(-c:v libx264 -preset veryfast -g 30)
    [[ $3 == hevc ]] && codec=(-c:v libx265 -preset ultrafast -tag:v hvc1 -x265-params log-level=none:keyint=30)
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=$2:r=30:d=2.5" "${codec[@]}" -pix_fmt yuv420p \
      "$work/videos/$1.mp4"
  }
  turn() { ffmpeg -nostdin -v error -y -i "$work/videos/$1.mp4" -c copy -metadata:s:v:0 rotate="$2" "$work/videos/$1-$2.mov"; }
  encode hd-h264 1920x1080 h264; encode hd-hevc 1920x1080 hevc
  encode tall-h264 1080x1920 h264; encode tall-hevc 1080x1920 hevc
  encode uhd-h264 3840x2160 h264; encode uhd-hevc 3840x2160 hevc
  turn hd-h264 270; turn hd-hevc 90; turn uhd-h264 270; turn uhd-hevc 90
  videos="$(find "$work/videos" -type f | sort | paste -sd:)"
  QUORVEL_POSTER_VIDEOS="$videos" taskset -c 0 build-bench/poster_bench --benchmark_repetitions="$reps" \
    --benchmark_min_time=0.05 --benchmark_report_aggregates_only=true --benchmark_format=json \
    >"$work/poster.json" 2>/dev/null
  python3 - "$work/poster.json" "$reps" <<'EOF'
import json, resource, statistics, subprocess, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
reps = int(sys.argv[2])
def cpu_of(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
ratios = []
for r in runs:
    if r.get("aggregate_name") != "median":
        continue
    path = r["run_name"].split("/", 1)[1].rsplit("/process_time", 1)[0]
    ours = r["cpu_time"] / 1000  # ms to s
    theirs = statistics.median(cpu_of(["taskset", "-c", "0", "ffmpeg", "-nostdin", "-v", "error", "-ss", "1",
                                       "-i", path, "-frames:v", "1", "-f", "null", "-"]) for _ in range(reps))
    ratios.append(ours / theirs)
    print(f"  poster {path.rsplit('/', 1)[1]}: {ours * 1000:.1f} ms CPU, ffmpeg {theirs * 1000:.1f} ms: "
          f"{ours / theirs:.2f}x")
med = statistics.median(ratios)
verdict = "met" if med <= 2.0 else "NOT met"
print(f"poster of {len(ratios)} videos into the medium view: {med:.2f}x ffmpeg's CPU "
      f"(median of {len(ratios)}, {min(ratios):.2f} to {max(ratios):.2f}); target <= 2x: {verdict}")
EOF
fi
# Every section below needs the photo tree: a run of the poster alone ends here.
[[ "${SECTIONS:-}" == poster ]] && exit 0

if [[ -z "$(find "$tree" -iname '*.jpg' -print -quit 2>/dev/null)" ]]; then
  tree="$work/photos"
  scripts/make-photo-tree.sh -n 20 "$tree" >"$work/photo-tree.log"
fi
largest="$(find "$tree" -iname '*.jpg' ! -iname '*.md.jpg' ! -iname '*.v?.jpg' -print0 |
  xargs -0 identify -format '%[fx:w*h] %d/%f\n' 2>/dev/null | sort -n | tail -1 | cut -d' ' -f2-)"
echo "photo: $largest ($(identify -format '%w x %h' "$largest"))"
convert "$largest" -resize 2592x1944^ -gravity center -extent 2592x1944 -quality 92 "$work/5mp.jpg"
convert "$largest" -resize 4000x3000^ -gravity center -extent 4000x3000 -quality 92 "$work/12mp.jpg"
mkdir -p "$work/empty" "$work/cwd"
ref="${REF:-}"
[[ -z "$ref" || -x "$ref" ]] || { echo "bench: REF $ref is no program" >&2; exit 2; }

# ---------------------------------------------------------------- reduction
if want reduction; then
QUORVEL_BENCH_PHOTOS="$work/5mp.jpg:$work/12mp.jpg" build-bench/resize_bench \
  --benchmark_filter='ReducePhoto|ReduceRowsPerMegapixel/[0-9]+/[0-9]+/1' --benchmark_repetitions="$reps" \
  --benchmark_format=json >"$work/reduce.json" 2>/dev/null
python3 - "$work/reduce.json" <<'EOF'
import json, statistics, sys
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") == "iteration"]
def cpu_ms(name):
    t = [b["cpu_time"] for b in runs if b["run_name"] == name]
    return statistics.median(t), min(t), max(t), len(t)
for label, name, target in (("5 MP -> 640 x 480", "BM_ReducePhotoTo640x480/5mp.jpg", 3.0),
                            ("12 MP -> 640 x 480", "BM_ReducePhotoTo640x480/12mp.jpg", 6.0)):
    med, lo, hi, n = cpu_ms(name)
    verdict = "met" if med <= target else "NOT met"
    print(f"reduction {label}: {med:.2f} ms CPU (median of {n}, {lo:.2f} to {hi:.2f}); target <= {target:g} ms: {verdict}")
# The kernels' cost per source megapixel, against what it was before.
for label, size, before in (("5 MP", "2592/1944", 852), ("12 MP", "4000/3000", 448)):
    t = [b["perMP"] * 1e6 for b in runs if b["run_name"] == f"BM_ReduceRowsPerMegapixel/{size}/1"]
    med = statistics.median(t)
    verdict = "met" if med <= before / 2 else "NOT met"
    print(f"reduction kernels, {label} source: {med:.0f} us CPU per megapixel (median of {len(t)}, {min(t):.0f} to "
          f"{max(t):.0f}), {med / before:.2f}x the {before} us before; target <= 0.5x: {verdict}")
EOF
fi

# ---------------------------------------------------------------- start-up
if want start; then
convert -size 8x8 xc:gray "$work/tiny.jpg"
python3 - "$runs" "$root/build-bench/quorvel" "$work" <<'EOF'
import os, resource, statistics, subprocess, sys
runs, quorvel, work = int(sys.argv[1]), sys.argv[2], sys.argv[3]
commands = {
    "djpeg": ["djpeg", "-outfile", "/dev/null", f"{work}/tiny.jpg"],
    "quorvel": [quorvel, f"{work}/empty"],
}
def cpu_of(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, cwd=f"{work}/cwd", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000
times = {name: [] for name in commands}
ratios = []
for _ in range(runs):  # paired, so that both see the same load
    pair = {name: cpu_of(cmd) for name, cmd in commands.items()}
    for name, t in pair.items():
        times[name].append(t)
q = {name: statistics.quantiles(t, n=4) for name, t in times.items()}
for name, (lo, med, hi) in q.items():
    print(f"start {name}: {med:.2f} ms CPU (median of {runs}; quartiles {lo:.2f} to {hi:.2f})")
ratio = q["quorvel"][1] / q["djpeg"][1]
verdict = "met" if ratio <= 2 else "NOT met"
print(f"start of an empty-tree run: {ratio:.2f}x djpeg's start; target <= 2x: {verdict}")
EOF
fi

# ---------------------------------------------------------------- cold run
if want cold; then
cp -r "$tree" "$work/cold"
python3 - "${COLD_REPS:-5}" "$root/build-bench/quorvel" "$work/cold" "$ref" <<'EOF'
import glob, os, resource, statistics, subprocess, sys
reps, quorvel, tree, ref = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
photos = sorted(f for f in glob.glob(tree + "/**/*", recursive=True)
                if f.lower().endswith(".jpg") and not any(t in f for t in (".vi.", ".vr.", ".md.")))
env = dict(os.environ, QUORVEL_JOBS="1")
def cpu_of(cmd, cwd=None):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
# Beside it, what a decode at an eighth of the size costs, and one thumbnail
# made by vipsthumbnail (libvips-tools), when it is installed.
import shutil
vips = shutil.which("vipsthumbnail")
ratios, against, eighth, thumb = [], [], [], []
for _ in range(reps):  # paired, so that both see the same load
    djpeg = sum(cpu_of(["djpeg", "-outfile", "/dev/null", p]) for p in photos)
    run = cpu_of([quorvel, os.path.basename(tree), "-force"], cwd=os.path.dirname(tree))
    ratios.append(run / djpeg)
    eighth.append(sum(cpu_of(["djpeg", "-scale", "1/8", "-outfile", "/dev/null", p]) for p in photos) / djpeg)
    if vips:
        thumb.append(sum(cpu_of([vips, p, "-s", "96", "-o", "/tmp/qv-bench-vips-%s.jpg"]) for p in photos) / djpeg)
    if ref:
        against.append(run / cpu_of([ref, os.path.basename(tree), "-force"], cwd=os.path.dirname(tree)))
med = statistics.median(ratios)
verdict = "met" if med <= 1.0 else "NOT met"
print(f"cold run of {len(photos)} photos on one core: {med:.2f}x djpeg's CPU "
      f"(median of {reps}, {min(ratios):.2f} to {max(ratios):.2f}); target <= 1.0x: {verdict}; "
      "load %.2f %.2f %.2f" % os.getloadavg())
print(f"beside it: djpeg -scale 1/8 {statistics.median(eighth):.2f}x djpeg's CPU; " +
      (f"vipsthumbnail (one 96-px thumbnail) {statistics.median(thumb):.2f}x" if vips
       else "vipsthumbnail not installed (libvips-tools)"))
for f in glob.glob("/tmp/qv-bench-vips-*.jpg"):
    os.remove(f)
if ref:
    print(f"cold run on one core against REF: {statistics.median(against):.3f}x its CPU "
          f"(median of {reps}, {min(against):.3f} to {max(against):.3f})")
EOF
fi

# ---------------------------------------------------------------- two cores
# A cold run of the whole tree (-force on a copy) with QUORVEL_JOBS=1 and 2,
# against djpeg decoding each photo one after another: wall time, in pairs.
if want wall; then
cp -r "$tree" "$work/wall"
python3 - "$root/build-bench/quorvel" "$work" "${WALL_RUNS:-3}" "$ref" <<'EOF'
import os, statistics, subprocess, sys, time
quorvel, work, runs, ref = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
photos = sorted(os.path.join(d, f) for d, _, fs in os.walk(f"{work}/wall") for f in fs
                if f.lower().endswith(".jpg") and not f.lower().endswith((".md.jpg", ".vi.jpg", ".vr.jpg")))
def wall(cmds, env=None):
    start = time.monotonic()
    for cmd in cmds:
        subprocess.run(cmd, cwd=f"{work}/cwd", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=env, check=False)
    return time.monotonic() - start
ratios = {1: [], 2: []}
against = {1: [], 2: []}
for _ in range(runs):
    djpeg = wall([["djpeg", "-outfile", "/dev/null", p] for p in photos])
    for jobs in ratios:
        env = dict(os.environ, QUORVEL_JOBS=str(jobs))
        mine = wall([[quorvel, f"{work}/wall", "-force"]], env)
        ratios[jobs].append(mine / djpeg)
        if ref:
            against[jobs].append(mine / wall([[ref, f"{work}/wall", "-force"]], env))
for jobs, r in ratios.items():
    print(f"cold run, QUORVEL_JOBS={jobs}: {statistics.median(r):.2f}x the wall time of djpeg on each of "
          f"{len(photos)} photos (median of {runs}, {min(r):.2f} to {max(r):.2f})")
    if ref:
        a = against[jobs]
        print(f"cold run, QUORVEL_JOBS={jobs}, against REF: {statistics.median(a):.3f}x its wall time "
              f"(median of {runs}, {min(a):.3f} to {max(a):.3f})")
verdict = "met" if statistics.median(ratios[2]) <= 0.50 else "NOT met"
print(f"two cores: target <= 0.50x: {verdict}; " + "load %.2f %.2f %.2f" % os.getloadavg() +
      " (a wall-time figure: take it on a quiet machine)")
EOF
fi

# ---------------------------------------------------------------- one child's figures
# CPU of one child alone, from its own rusage; its peak resident set through
# GNU time, since a child of Python starts with Python's own peak (the kernel
# keeps the peak across exec, and the children's total keeps the largest).
cat >"$work/child.py" <<'EOF'
import os, statistics, subprocess, tempfile
def run(cmd, cwd, jobs=None, out=subprocess.DEVNULL):
    """Returns the CPU seconds of one run of cmd."""
    env = dict(os.environ)
    env.pop("QUORVEL_JOBS", None)
    if jobs: env["QUORVEL_JOBS"] = str(jobs)
    p = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=out, stderr=subprocess.DEVNULL)
    _, status, ru = os.wait4(p.pid, 0)
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode: raise SystemExit(f"bench: {cmd} ended with status {p.returncode}")
    return ru.ru_utime + ru.ru_stime
def peak(cmd, cwd, jobs=None):
    """Returns the peak resident bytes of one run of cmd."""
    with tempfile.NamedTemporaryFile("r") as f:
        run(["/usr/bin/time", "-f", "%M", "-o", f.name] + cmd, cwd, jobs)
        return int(f.read().split()[-1]) * 1024
def spread(xs, fmt="{:.2f}"):
    return (statistics.median(xs),
            f"median of {len(xs)}, {fmt.format(min(xs))} to {fmt.format(max(xs))}")
EOF
export PYTHONPATH="$work"
quorvel="$root/build-bench/quorvel"
mkdir -p "$work/one12"
cp "$work/12mp.jpg" "$work/one12/"

# ---------------------------------------------------------------- one 12 MP photo
if want one12; then
python3 - "$reps" "$quorvel" "$work" <<'EOF'
import sys
from child import run, spread
reps, quorvel, work = int(sys.argv[1]), sys.argv[2], sys.argv[3]
ratios = []
for _ in range(reps):  # paired, so that both see the same load; 5 runs a side
    djpeg = sum(run(["djpeg", "-outfile", "/dev/null", f"{work}/12mp.jpg"], work) for _ in range(5))
    ours = sum(run([quorvel, "one12", "-force"], work, jobs=1) for _ in range(5))
    ratios.append(ours / djpeg)
med, how = spread(ratios)
print(f"cold run of the 12 MP photo on one core: {med:.2f}x djpeg's CPU ({how}); "
      f"target <= 1.15x: {'met' if med <= 1.15 else 'NOT met'}")
EOF
fi

# ---------------------------------------------------------------- added formats
for tool in cwebp heif-enc avifenc; do
  if { want formats || want formatwarm; } && ! command -v "$tool" >/dev/null; then
    echo "bench: $tool is missing (webp, libheif-examples, libavif-bin)" >&2; exit 1
  fi
done
if want formats; then
  mkdir -p "$work/formats"
  convert "$work/12mp.jpg" "$work/formats/photo.png"
  cwebp -quiet -q 85 "$work/formats/photo.png" -o "$work/formats/photo.webp"
  heif-enc -q 70 "$work/formats/photo.png" -o "$work/formats/photo.heic" >/dev/null
  avifenc -s 6 "$work/formats/photo.png" "$work/formats/photo.avif" >/dev/null 2>&1
  QUORVEL_FORMAT_PHOTOS="$work/formats" taskset -c 0 build-bench/format_bench --benchmark_repetitions="$reps" \
    --benchmark_format=json >"$work/formats.json" 2>/dev/null
  python3 - "$work/formats.json" <<'EOF'
import json, os, sys, statistics
runs = [b for b in json.load(open(sys.argv[1]))["benchmarks"] if b.get("run_type") == "iteration"]
# Measured in process time, a run's name ends in "/process_time".
name = lambda b: b["run_name"].removesuffix("/process_time")
load = "load %.2f %.2f %.2f" % os.getloadavg()
for fmt in ["png", "webp", "heic", "avif"]:
    lib = [b["cpu_time"] for b in runs if name(b) == f"libraryDecode/{fmt}"]
    ours = [b["cpu_time"] for b in runs if name(b) == f"derived/{fmt}"]
    ratios = [o / l for o, l in zip(ours, lib)]
    med = statistics.median(ratios)
    print(f"{fmt}: the three derived pictures of a 12 MP photo for {med:.2f}x the library's full-size decode "
          f"(median of {len(ratios)}, {min(ratios):.2f} to {max(ratios):.2f}; library {statistics.median(lib):.0f} ms); "
          f"target <= 1.15x: {'met' if med <= 1.15 else 'NOT met'}; {load}")
EOF
fi

if want formatwarm; then
  n="${FORMAT_WARM:-5000}"
  mkdir -p "$work/fw"
  convert "$work/12mp.jpg" -resize 320x240 "$work/fw/s.png"
  cwebp -quiet "$work/fw/s.png" -o "$work/fw/s.webp"
  heif-enc -q 50 "$work/fw/s.png" -o "$work/fw/s.heic" >/dev/null
  avifenc -s 8 "$work/fw/s.png" "$work/fw/s.avif" >/dev/null 2>&1
  for ext in png webp heic avif; do
    mkdir -p "$work/fw/$ext"
    for ((i = 0; i < n; i++)); do cp "$work/fw/s.$ext" "$work/fw/$ext/p$i.$ext"; done
  done
  python3 - "$quorvel" "$work/fw" "$n" <<'EOF'
import sys
from child import run, spread
quorvel, fw, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
for ext in ["png", "webp", "heic", "avif"]:
    run([quorvel, ext, "-allpics"], fw)  # cold: makes the pictures
    per = [run([quorvel, ext, "-allpics"], fw, jobs=1) / n * 1000 for _ in range(3)]
    med, how = spread(per, "{:.3f}")
    print(f"warm -allpics run over {n} {ext} pictures: {med:.3f} ms CPU a picture ({how}); "
          f"target <= 0.1 ms: {'met' if med <= 0.1 else 'NOT met'}")
EOF
fi

# ---------------------------------------------------------------- peak memory
# The peak over an empty-tree run's, against the photo's RGB raster. A
# progressive photo (a lossless copy) makes the JPEG library keep every DCT
# coefficient, 2 bytes a sample of each component at its sampling: its target
# is a quarter of the raster plus that buffer.
if want memory; then
mkdir -p "$work/prog12"
jpegtran -progressive -copy all -outfile "$work/prog12/12mp.jpg" "$work/12mp.jpg"
python3 - "$quorvel" "$work" "$(identify -format '%w %h %[jpeg:sampling-factor]' "$work/12mp.jpg")" <<'EOF'
import statistics, sys
from child import peak
quorvel, work, (w, h, sampling) = sys.argv[1], sys.argv[2], sys.argv[3].split()
w, h = int(w), int(h)
factors = [tuple(map(int, f.split("x"))) for f in sampling.split(",")]
hmax, vmax = max(f[0] for f in factors), max(f[1] for f in factors)
raster = w * h * 3
coefficients = sum(2 * w * h * fh * fv // (hmax * vmax) for fh, fv in factors)
def median_peak(tree):
    return statistics.median(peak([quorvel, tree, "-force"], work, jobs=1) for _ in range(3))
start = median_peak("empty")
for label, tree, allowed in (("baseline", "one12", raster / 4),
                             ("progressive", "prog12", raster / 4 + coefficients)):
    extra = median_peak(tree) - start
    print(f"peak memory, 12 MP {label} photo ({sampling}): {extra / 2**20:.1f} MiB over the start's "
          f"{start / 2**20:.1f} MiB, {100 * extra / raster:.0f}% of the {raster / 2**20:.1f} MiB raster; "
          + ("" if label == "baseline" else
             f"with the library's {coefficients / 2**20:.1f} MiB coefficient buffer, ")
          + f"target <= {allowed / 2**20:.1f} MiB: {'met' if extra <= allowed else 'NOT met'}")
EOF
fi

# ---------------------------------------------------------------- orientations
# The 12 MP photo tagged with each Exif orientation (metadata only: the scan
# is the same bytes), one tree each; every repetition runs all eight, each 5
# times, since one run lasts only tens of milliseconds.
if want orient; then
plain="$(djpeg "$work/12mp.jpg" | md5sum)"
for k in 1 2 3 4 5 6 7 8; do
  mkdir -p "$work/orient$k"
  cp "$work/12mp.jpg" "$work/orient$k/12mp.jpg"
  exiftool -q -n -Orientation="$k" -overwrite_original "$work/orient$k/12mp.jpg"
  [[ "$(exiftool -n -s3 -Orientation "$work/orient$k/12mp.jpg")" == "$k" &&
     "$(djpeg "$work/orient$k/12mp.jpg" | md5sum)" == "$plain" ]] ||
    { echo "bench: tagging orientation $k changed the photo or lost its tag" >&2; exit 1; }
done
python3 - "$reps" "$quorvel" "$work" <<'EOF'
import sys
from child import run, spread
reps, quorvel, work = int(sys.argv[1]), sys.argv[2], sys.argv[3]
ratios = {k: [] for k in range(2, 9)}
for rep in range(reps):
    order = list(range(1, 9))
    order = order[rep % 8:] + order[:rep % 8]  # no orientation always runs first
    cpu = {k: sum(run([quorvel, f"orient{k}", "-force"], work, jobs=1) for _ in range(5)) for k in order}
    for k in ratios:
        ratios[k].append(cpu[k] / cpu[1])
print("orientations 2 to 4 against 1: " +
      ", ".join(f"{k}: {spread(ratios[k])[0]:.2f}x" for k in (2, 3, 4)))
for k in range(5, 9):
    med, how = spread(ratios[k])
    print(f"12 MP photo with Exif orientation {k} on one core: {med:.2f}x the CPU of orientation 1 "
          f"({how}); target <= 1.10x: {'met' if med <= 1.10 else 'NOT met'}")
EOF
fi

# ---------------------------------------------------------------- warm run
# Small pictures (over the 200 x 200 that counts, under the medium box), all
# hard links of one made an hour ago, with the files of a real run beside
# each linked from one run over one picture: a tree of any size in seconds.
# An untimed run writes the pages first; then every run finds nothing to make.
if want warm; then
warm="${WARM_PICTURES:-20000}"
mkdir -p "$work/seed"
convert "$work/12mp.jpg" -resize 320x240 -quality 85 "$work/seed/p.jpg"
touch -d '-1 hour' "$work/seed/p.jpg"
(cd "$work/cwd" && "$quorvel" "$work/seed" >/dev/null)
python3 - "$quorvel" "$work" "$warm" "${WARM_REPS:-3}" "$ref" <<'EOF'
import errno, os, shutil, statistics, sys
from child import run, spread
quorvel, work, total, reps, ref = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
seed = [f[1:] for f in os.listdir(f"{work}/seed") if f.startswith("p.")]  # ".jpg", ".vi.jpg", ...
def make(name, pictures, dirs):
    for i in range(pictures):
        d = f"{work}/{name}/d{i % dirs:02d}" if dirs > 1 else f"{work}/{name}"
        os.makedirs(d, exist_ok=True)
        for suffix in seed:
            try:
                os.link(f"{work}/seed/p{suffix}", f"{d}/p{i:06d}{suffix}")
            except OSError as e:  # a file takes some 65,000 links
                if e.errno != errno.EMLINK: raise
                shutil.copy2(f"{work}/seed/p{suffix}", f"{d}/p{i:06d}{suffix}")
    with open(f"{work}/{name}.out", "w") as out:
        run([quorvel, name], work, out=out)
    if ".vi.jpg" in open(f"{work}/{name}.out").read():
        raise SystemExit(f"bench: the run over {name} made pictures: not a warm tree")
for label, name, pictures, dirs in (("in one directory", "warm-quarter", total // 4, 1),
                                    ("in one directory", "warm-flat", total, 1),
                                    ("in 50 directories", "warm-dirs", total, 50)):
    make(name, pictures, dirs)
    ms, against = [], []
    for _ in range(reps):  # paired with the reference, when there is one
        mine = run([quorvel, name], work)
        ms.append(mine * 1000 / pictures)
        if ref:
            against.append(mine / run([ref, name], work))
    med, how = spread(ms, "{:.4f}")
    print(f"warm run over {pictures} pictures {label}: {med:.4f} ms CPU a picture ({how}); "
          f"target <= 0.1 ms: {'met' if med <= 0.1 else 'NOT met'}")
    if ref:
        print(f"warm run over {pictures} pictures {label} against REF: {statistics.median(against):.3f}x its CPU "
              f"({spread(against, '{:.3f}')[1]})")
EOF
fi

# ---------------------------------------------------------------- -exif
if want exif; then
cp -r "$tree" "$work/exif-cold"
mkdir -p "$work/exif-seed"
convert "$work/12mp.jpg" -resize 320x240 -quality 85 "$work/exif-seed/p.jpg"
exiftool -q -overwrite_original -XMP-dc:Title="Le phare" -XMP-dc:Description="Biarritz at dawn" \
  -IPTC:ObjectName="Le phare" -Make=Canon -Model="Canon EOS 5D" -LensModel="EF 24-70mm" \
  -DateTimeOriginal="2026:07:14 19:02:33" -ExposureTime=0.004 -FNumber=2.8 -ISO=100 -FocalLength=35 \
  "$work/exif-seed/p.jpg"
touch -d '-1 hour' "$work/exif-seed/p.jpg"
python3 - "$quorvel" "$work" "${COLD_REPS:-5}" "${WARM_REPS:-3}" <<'EOF'
import os, shutil, statistics, sys
from child import run, spread
quorvel, work, cold_reps, warm_reps = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
ratios = []
for _ in range(cold_reps):  # paired, so that both see the same load
    without = run([quorvel, "exif-cold", "-force"], work, jobs=1)
    ratios.append(run([quorvel, "exif-cold", "-force", "-exif"], work, jobs=1) / without)
med, how = spread(ratios, "{:.3f}")
print(f"cold run on one core with -exif: {med:.3f}x the run without ({how}); target <= 1.02x: "
      f"{'met' if med <= 1.02 else 'NOT met'}")
pictures = 5000
os.makedirs(f"{work}/exif-warm")
for i in range(pictures):
    os.link(f"{work}/exif-seed/p.jpg", f"{work}/exif-warm/p{i:06d}.jpg")
run([quorvel, "exif-warm", "-exif"], work)
ms = [run([quorvel, "exif-warm", "-exif"], work) * 1000 / pictures for _ in range(warm_reps)]
med, how = spread(ms, "{:.4f}")
print(f"warm run with -exif over {pictures} pictures: {med:.4f} ms CPU a picture ({how}); "
      f"target <= 0.12 ms: {'met' if med <= 0.12 else 'NOT met'}")
EOF
fi

# ---------------------------------------------------------------- -out:
# The album in a folder of its own against the album beside the pictures:
# a cold run of the photo tree (paired, the library checked untouched and
# the same pictures made), then OUT_PICTURES small pictures over the medium
# box in 50 directories, built as the warm trees are. The out folder of a
# warm tree gets its mark from a run over the library while it is still
# empty, then the derived files of the seed. The run after a tenth of the
# pictures is deleted must remove exactly their four files each (three
# derived pictures and the page).
if want out; then
cp -r "$tree" "$work/out-beside"
cp -r "$tree" "$work/out-library"
mkdir -p "$work/out-seed"
convert "$work/12mp.jpg" -resize 800x600 -quality 85 "$work/out-seed/p.jpg"
touch -d '-1 hour' "$work/out-seed/p.jpg"
(cd "$work/cwd" && "$quorvel" "$work/out-seed" >/dev/null)
python3 - "$quorvel" "$work" "${COLD_REPS:-5}" "${WARM_REPS:-3}" "${OUT_PICTURES:-5000}" <<'EOF'
import errno, filecmp, os, shutil, statistics, sys
from child import run, spread
quorvel, work, cold_reps, warm_reps, total = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
DERIVED = (".vi.jpg", ".vr.jpg", ".md.jpg")

def files(top):
    """Every file below top, by its path from top: (size, modification time)."""
    found = {}
    for d, _, names in os.walk(top):
        for f in names:
            st = os.lstat(os.path.join(d, f))
            found[os.path.relpath(os.path.join(d, f), top)] = (st.st_size, st.st_mtime_ns)
    return found

# Cold: the tree beside its pictures and the same tree as a library.
library_before = files(f"{work}/out-library")
ratios = []
for rep in range(cold_reps):  # paired, in turns, so that both see the same load
    beside = lambda: run([quorvel, "out-beside", "-force"], work, jobs=1)
    out = lambda: run([quorvel, "out-library", "-force", "-out:out-album"], work, jobs=1)
    if rep % 2:
        o, b = out(), beside()
    else:
        b, o = beside(), out()
    ratios.append(o / b)
if files(f"{work}/out-library") != library_before:
    raise SystemExit("bench: a run with -out: changed the library")
made = sorted(f for f in files(f"{work}/out-beside") if f.endswith(DERIVED))
if made != sorted(f for f in files(f"{work}/out-album") if f.endswith(DERIVED)) or not all(
        filecmp.cmp(f"{work}/out-beside/{f}", f"{work}/out-album/{f}", shallow=False) for f in made):
    raise SystemExit("bench: the run with -out: made other pictures than the run beside them")
med, how = spread(ratios, "{:.3f}")
print(f"cold run with -out: on one core, {len(made)} derived pictures, the same bytes: {med:.3f}x the CPU of "
      f"the run beside the pictures ({how}); target <= 1.05x: {'met' if med <= 1.05 else 'NOT met'}")

# Warm trees: hard links of the seed, as the warm section makes them.
seed = f"{work}/out-seed"
suffixes = [f[1:] for f in os.listdir(seed) if f.startswith("p.") and f != "p.jpg"]  # ".vi.jpg", ..., ".md.html"
def place(source, target):
    try:
        os.link(source, target)
    except OSError as e:  # a file takes some 65,000 links
        if e.errno != errno.EMLINK: raise
        shutil.copy2(source, target)
def picture(i):
    return f"d{i % 50:02d}/p{i:06d}"
def make(name, out=None):
    """A warm tree of total pictures beside their files, or a library and its out folder."""
    shutil.rmtree(f"{work}/{name}", ignore_errors=True)
    os.makedirs(f"{work}/{name}")
    if out:
        shutil.rmtree(f"{work}/{out}", ignore_errors=True)
        run([quorvel, name, f"-out:{out}"], work)  # the mark, while the library is empty
    for i in range(total):
        for top, kept in ((name, [".jpg"] + ([] if out else suffixes)), (out, suffixes if out else [])):
            for suffix in kept:
                os.makedirs(os.path.dirname(f"{work}/{top}/{picture(i)}"), exist_ok=True)
                place(f"{seed}/p{suffix}", f"{work}/{top}/{picture(i)}{suffix}")
    args = [quorvel, name] + ([f"-out:{out}"] if out else [])
    with open(f"{work}/{name}.log", "w") as log:
        run(args, work, out=log)
    if ".vi.jpg" in open(f"{work}/{name}.log").read():
        raise SystemExit(f"bench: the run over {name} made pictures: not a warm tree")
    return args

beside, out = make("out-warm-beside"), make("out-warm-library", "out-warm-album")
ratios, alone = [], []
for rep in range(warm_reps):
    if rep % 2:
        o, b = run(out, work), run(beside, work)
    else:
        b, o = run(beside, work), run(out, work)
    ratios.append(o / b)
    alone.append(o * 1000 / total)
med, how = spread(ratios, "{:.3f}")
print(f"warm run with -out: over {total} pictures in 50 directories: {med:.3f}x the CPU of the run beside "
      f"the pictures ({how}; {statistics.median(alone):.4f} ms a picture); "
      f"target <= 1.1x: {'met' if med <= 1.1 else 'NOT met'}")

# A tenth of the library deleted: a fresh tree each time.
ratios, exact = [], []
for rep in range(warm_reps):
    args = make("out-gone-library", "out-gone-album")
    warm = run(args, work)
    gone = [picture(i) for i in range(0, total, 10)]
    for p in gone:
        os.unlink(f"{work}/out-gone-library/{p}.jpg")
    before = set(files(f"{work}/out-gone-album"))
    after_deleting = run(args, work)
    removed = before - set(files(f"{work}/out-gone-album"))
    expected = {p + s for p in gone for s in suffixes}
    if rep == 0 and not removed & expected:
        print("run after deleting a tenth of the library: not measured: needs the follow step")
        break
    exact.append(removed == expected)
    ratios.append(after_deleting / warm)
    if removed != expected:
        print(f"bench: removed {len(removed)} files, {len(removed & expected)} of the {len(expected)} expected; "
              f"left {sorted(expected - removed)[:3]}, also removed {sorted(removed - expected)[:3]}")
if ratios:
    med, how = spread(ratios)
    print(f"run after deleting {len(gone)} of {total} pictures: removed exactly their {len(expected)} files "
          f"({len(suffixes)} each) in {exact.count(True)} of {len(exact)} runs, in {med:.2f}x the CPU of the warm "
          f"run before ({how}); targets: exactly, in <= 2x: "
          f"{'met' if all(exact) and med <= 2 else 'NOT met'}")
EOF
fi

# ---------------------------------------------------------------- -hidpi
# A cold run of the photo tree with -hidpi against the same run without it
# (two copies, one core, COLD_REPS pairs in turns), and where the extra CPU
# goes: the large views' encoding estimated by cjpeg at quorvel's quality on
# their pixels, and, where perf can sample, each run's CPU split by the JPEG
# library, the lens, the reductions and the kernel. Then warm runs over
# HIDPI_PICTURES (default 5000) pictures in one directory and in 50, built
# as the warm trees are from a seed larger than the medium box (so it has a
# large view). Last, the bytes of the first screen of a 200-picture folder
# with and without -hidpi, in Chromium over HTTP (tests/browser/page-weight.mjs)
# on a 1x desktop and a 3x phone. Every line ends with the load average.
if want hidpi; then
for tool in cjpeg node npm /usr/bin/chromium; do
  command -v "$tool" >/dev/null ||
    { echo "bench: $tool is missing (libjpeg-turbo-progs, nodejs, npm, chromium)" >&2; exit 1; }
done
tests/browser/npm-ci.sh >/dev/null
cp -r "$tree" "$work/hidpi-plain"
cp -r "$tree" "$work/hidpi-dense"
mkdir -p "$work/hidpi-seed" "$work/hidpi-ppm"
convert "$work/12mp.jpg" -resize 800x600 -quality 85 "$work/hidpi-seed/p.jpg"
touch -d '-1 hour' "$work/hidpi-seed/p.jpg"
(cd "$work/cwd" && "$quorvel" "$work/hidpi-seed" -hidpi >/dev/null)
python3 - "$quorvel" "$work" "$tree" "$root/tests/browser" "${COLD_REPS:-5}" "${WARM_REPS:-3}" \
  "${HIDPI_PICTURES:-5000}" <<'EOF'
import errno, glob, json, os, re, shutil, statistics, subprocess, sys
from child import run, spread
quorvel, work, tree, browser = sys.argv[1:5]
cold_reps, warm_reps, total = int(sys.argv[5]), int(sys.argv[6]), int(sys.argv[7])
def load():
    return "load %.2f %.2f %.2f" % os.getloadavg()
def photos_of(top):
    return sorted(p for p in glob.glob(glob.escape(top) + "/**/*", recursive=True)
                  if p.lower().endswith(".jpg") and not re.search(r"\.(v[ir][23]?|md|lg)\.jpg$", p))

# Cold, paired in turns so that both see the same load.
plain = lambda: run([quorvel, "hidpi-plain", "-force"], work, jobs=1)
dense = lambda: run([quorvel, "hidpi-dense", "-force", "-hidpi"], work, jobs=1)
ratios, cpu = [], {"plain": [], "dense": []}
for rep in range(cold_reps):
    if rep % 2:
        d, p = dense(), plain()
    else:
        p, d = plain(), dense()
    ratios.append(d / p)
    cpu["plain"].append(p)
    cpu["dense"].append(d)
med, how = spread(ratios, "{:.3f}")
n = len(photos_of(f"{work}/hidpi-plain"))
print(f"cold run with -hidpi of {n} photos on one core: {med:.3f}x the CPU of the run without ({how}); "
      f"target <= 1.35x: {'met' if med <= 1.35 else 'NOT met'}; {load()}")
plain_s, dense_s = statistics.median(cpu["plain"]), statistics.median(cpu["dense"])

# The large views' encoding: cjpeg at quorvel's quality 85 on their pixels.
large = sorted(glob.glob(glob.escape(f"{work}/hidpi-dense") + "/**/*.lg.jpg", recursive=True))
for i, f in enumerate(large):
    subprocess.run(["djpeg", "-outfile", f"{work}/hidpi-ppm/{i}.ppm", f], check=True)
encode = statistics.median(
    sum(run(["cjpeg", "-quality", "85", "-outfile", "/dev/null", f"{work}/hidpi-ppm/{i}.ppm"], work)
        for i in range(len(large))) for _ in range(3))
extra = dense_s - plain_s
print(f"cold run split: {plain_s:.2f} s CPU without -hidpi, {dense_s:.2f} s with, +{extra:.2f} s; "
      f"encoding the {len(large)} large views ~{encode:.2f} s (cjpeg -quality 85 on their pixels), "
      f"{100 * encode / extra if extra > 0 else 0:.0f}% of the extra; {load()}")

# Each run's CPU by part, from perf's samples of one run each.
def parts(args):
    data = f"{work}/hidpi.perf"
    env = dict(os.environ, QUORVEL_JOBS="1")
    if subprocess.run(["perf", "record", "-q", "-o", data, "--"] + args, cwd=work, env=env,
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode:
        return None
    report = subprocess.run(["perf", "report", "-q", "-i", data, "--no-children", "--sort", "dso,sym", "--stdio"],
                            capture_output=True, text=True, errors="replace").stdout
    share = {}
    for line in report.splitlines():
        m = re.match(r"\s*([\d.]+)%\s+(\S+)\s+\[(.)\]\s+(.*)", line)
        if not m:
            continue
        pct, dso, kind, sym = float(m[1]), m[2], m[3], m[4]
        part = ("JPEG library" if dso.startswith("libjpeg") else
                "kernel" if kind == "k" else
                "lens" if sym.startswith("imgLens") else
                "reductions" if dso == "quorvel" and re.search(r"[Rr]educ|combine|addToBand|readColumns|startBand", sym) else
                "the rest of quorvel" if dso == "quorvel" else "other")
        share[part] = share.get(part, 0) + pct / 100
    return share
if shutil.which("perf"):
    without = parts([quorvel, "hidpi-plain", "-force"])
    with_ = parts([quorvel, "hidpi-dense", "-force", "-hidpi"])
    if without and with_:
        seconds = {k: (without.get(k, 0) * plain_s, with_.get(k, 0) * dense_s) for k in set(without) | set(with_)}
        shown = sorted((k for k, (a, b) in seconds.items() if max(a, b) >= 0.005), key=lambda k: seconds[k][0] - seconds[k][1])
        print("cold run split by perf (s CPU without -> with; the JPEG library's part holds the large views' "
              "encoding, the reductions' the decode's into the large view): " + "; ".join(
            f"{k} {seconds[k][0]:.2f} -> {seconds[k][1]:.2f} ({seconds[k][1] - seconds[k][0]:+.2f})" for k in shown)
              + f"; {load()}")
    else:
        print("cold run split by perf: not measured: perf record failed")

# Warm trees: hard links of the seed's files.
seed = f"{work}/hidpi-seed"
suffixes = [f[1:] for f in os.listdir(seed) if f.startswith("p.")]  # ".jpg", ".lg.jpg", ...
if not {".lg.jpg", ".vi3.jpg", ".vr2.jpg"} <= set(suffixes):
    raise SystemExit(f"bench: the seed's -hidpi run made {suffixes}")
def make(name, dirs):
    for i in range(total):
        d = f"{work}/{name}/d{i % dirs:02d}" if dirs > 1 else f"{work}/{name}"
        os.makedirs(d, exist_ok=True)
        for suffix in suffixes:
            try:
                os.link(f"{seed}/p{suffix}", f"{d}/p{i:06d}{suffix}")
            except OSError as e:  # a file takes some 65,000 links
                if e.errno != errno.EMLINK: raise
                shutil.copy2(f"{seed}/p{suffix}", f"{d}/p{i:06d}{suffix}")
    with open(f"{work}/{name}.out", "w") as out:
        run([quorvel, name, "-hidpi"], work, out=out)
    if ".vi.jpg" in open(f"{work}/{name}.out").read():
        raise SystemExit(f"bench: the run over {name} made pictures: not a warm tree")
for label, name, dirs in (("in one directory", "hidpi-warm-flat", 1), ("in 50 directories", "hidpi-warm-dirs", 50)):
    make(name, dirs)
    ms = [run([quorvel, name, "-hidpi"], work) * 1000 / total for _ in range(warm_reps)]
    med, how = spread(ms, "{:.4f}")
    print(f"warm run with -hidpi over {total} pictures {label}: {med:.4f} ms CPU a picture ({how}); "
          f"target <= 0.12 ms: {'met' if med <= 0.12 else 'NOT met'}; {load()}")

# Page weight: 200 of the tree's photos in one folder, with and without -hidpi.
photos = photos_of(tree)
for name, extra_args in (("weight-plain", []), ("weight-dense", ["-hidpi"])):
    os.makedirs(f"{work}/{name}")
    for i in range(200):
        os.link(photos[i % len(photos)], f"{work}/{name}/p{i:03d}.jpg")
    run([quorvel, name] + extra_args, work)
def weight(name, screen):
    out = subprocess.run(["node", "page-weight.mjs", f"{work}/{name}", screen, "3"], cwd=browser,
                         capture_output=True, text=True, check=True).stdout
    return json.loads(out)
for screen, label, target in (("desktop", "1x desktop (1366 x 768)", 1.0), ("phone", "3x phone (390 x 844)", 3.0)):
    p, d = weight("weight-plain", screen), weight("weight-dense", screen)
    ratios = [b / a for a, b in zip(p["bytes"], d["bytes"])]
    med, how = spread(ratios, "{:.3f}")
    print(f"first screen of a 200-picture folder on a {label}: {statistics.median(d['bytes']) / 1024:.0f} KiB in "
          f"{statistics.median(d['requests'])} requests with -hidpi, {statistics.median(p['bytes']) / 1024:.0f} KiB in "
          f"{statistics.median(p['requests'])} without: {med:.3f}x ({how}); target <= {target:g}x: "
          f"{'met' if med <= target else 'NOT met'}; {load()}")
EOF
fi

# ---------------------------------------------------------------- today
if want today; then
command -v ffmpeg >/dev/null || { echo "bench: ffmpeg is missing" >&2; exit 1; }
mkdir -p "$work/phone"
cp -r "$tree"/. "$work/phone/"
find "$work/phone" -regextype posix-extended -iregex '.*\.(v[ir][23]?|md|lg)\.jpg|.*\.html' -delete
for i in $(seq 0 9); do
  size=1920x1080
  ((i % 3 == 2)) && size=1080x1920
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=$size:rate=30:duration=3" -c:v libx264 -preset veryfast \
    -g 30 -pix_fmt yuv420p "$work/phone/VID_$i.mp4"
done
for i in 1 2; do
  convert "$work/5mp.jpg" -resize 4032x3024 "$work/phone/IMG_900$i.JPG"
  ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=1440x1080:rate=30:duration=2" -c:v libx264 -preset veryfast \
    -g 30 -pix_fmt yuv420p -f mov "$work/phone/IMG_900$i.MOV"
done
cp -r "$work/phone" "$work/phone-plain"
python3 - "$quorvel" "$work" "${COLD_REPS:-3}" "${WARM_REPS:-3}" <<'EOF'
import os, subprocess, sys
from child import run, spread
quorvel, work = sys.argv[1:3]
cold_reps, warm_reps = int(sys.argv[3]), int(sys.argv[4])
def load():
    return "load %.2f %.2f %.2f" % os.getloadavg()
today = lambda extra: run([quorvel, "phone", "-today"] + extra, work, jobs=1)
plain = lambda extra: run([quorvel, "phone-plain"] + extra, work, jobs=1)
for label, extra, reps in (("cold", ["-force"], cold_reps), ("warm", [], warm_reps)):
    t, p = [], []
    for rep in range(reps):  # paired in turns, so that both see the same load
        if rep % 2:
            t.append(today(extra)); p.append(plain(extra))
        else:
            p.append(plain(extra)); t.append(today(extra))
    tm, thow = spread(t)
    pm, phow = spread(p)
    print(f"today {label}, one core: -today {tm:.2f} s CPU ({thow}), without it {pm:.2f} s ({phow}): "
          f"{tm / pm:.2f}x, the videos' posters and -hidpi's views included; {load()}")
env = dict(os.environ, LD_DEBUG="libs", QUORVEL_JOBS="1")
debug = subprocess.run([quorvel, "phone", "-today"], cwd=work, env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True, errors="replace").stderr
mapped = "libavformat" in debug
print(f"today warm run maps FFmpeg's libraries: {'yes' if mapped else 'no'}; target: no: "
      f"{'NOT met' if mapped else 'met'}")
EOF
fi

# ---------------------------------------------------------------- extended XMP
# XMP_PICTURES (default 100) photos of 1600 x 1200 with Exif, each carrying
# 120 APP1 segments of extended XMP of 65,000 bytes (7.8 MB, as an editor's
# history or a phone's depth map leaves them) ahead of its Exif segment,
# against the same photos without them: warm runs (WARM_PAIRS, default 15,
# pairs) and cold runs (-force, one core, COLD_REPS pairs), paired in turns.
if want xmp; then
n="${XMP_PICTURES:-100}"
mkdir -p "$work/xmp-seed" "$work/xmp-plain" "$work/xmp-heavy"
convert "$work/5mp.jpg" -resize 1600x1200 -quality 90 "$work/xmp-seed/p.jpg"
exiftool -q -q -n -overwrite_original -Orientation=6 -Make=Bench -Model='Bench XMP' "$work/xmp-seed/p.jpg"
python3 - "$work/xmp-seed/p.jpg" "$work/xmp-seed/heavy.jpg" <<'EOF'
import hashlib, struct, sys
data = open(sys.argv[1], "rb").read()
count, size = 120, 65000
guid = hashlib.md5(b"bench").hexdigest().upper().encode()
segments = b""
for i in range(count):
    payload = b"http://ns.adobe.com/xmp/extension/\0" + guid + struct.pack(">II", count * size, i * size)
    payload += bytes(range(256)) * (size // 256) + bytes(size % 256)
    segments += b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload
open(sys.argv[2], "wb").write(data[:2] + segments + data[2:])
EOF
for ((i = 0; i < n; i++)); do
  cp "$work/xmp-seed/p.jpg" "$work/xmp-plain/p$i.jpg"
  cp "$work/xmp-seed/heavy.jpg" "$work/xmp-heavy/p$i.jpg"
done
python3 - "$quorvel" "$work" "$n" "${COLD_REPS:-3}" "${WARM_PAIRS:-15}" "$ref" <<'EOF'
import os, sys
from child import run, spread
quorvel, work, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
cold_reps, warm_pairs, ref = int(sys.argv[4]), int(sys.argv[5]), sys.argv[6]
def load():
    return "load %.2f %.2f %.2f" % os.getloadavg()
mb = os.path.getsize(f"{work}/xmp-heavy/p0.jpg") / 1e6
def pairs(program, extra, reps):
    heavy = lambda: run([program, "xmp-heavy"] + extra, work, jobs=1)
    plain = lambda: run([program, "xmp-plain"] + extra, work, jobs=1)
    h, p = [], []
    for rep in range(reps):  # in turns, so that both see the same load
        if rep % 2:
            h.append(heavy()); p.append(plain())
        else:
            p.append(plain()); h.append(heavy())
    return h, p
for who, program in [("", quorvel)] + ([("REF: ", ref)] if ref else []):
    for label, extra, reps in (("cold", ["-force"], cold_reps), ("warm", [], warm_pairs)):
        h, p = pairs(program, extra, reps)
        med, how = spread([a / b for a, b in zip(h, p)], "{:.3f}")
        hm, pm = spread(h)[0] * 1000 / n, spread(p)[0] * 1000 / n
        print(f"{who}{label} run over {n} photos of {mb:.1f} MB (7.8 MB of extended XMP each) on one core: "
              f"{med:.3f}x the CPU of the same photos without it ({how}; {hm:.3f} against {pm:.3f} ms a photo); "
              f"target <= 1.2x: {'met' if med <= 1.2 else 'NOT met'}; {load()}")
EOF
fi
