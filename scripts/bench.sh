#!/usr/bin/env bash
# Builds the Release benchmarks and prints each speed target's figure against
# its target, measured on this machine in CPU time (the machine may be shared,
# so wall time would mostly measure the neighbours):
#   - a real photo of 5 MP reduced into 640 x 480: at most 3 ms;
#   - the same photo at 12 MP: at most 6 ms;
#   - the start of a run over an empty tree: at most 2x djpeg's start (djpeg
#     decoding a tiny JPEG to /dev/null);
#   - a cold run over the photo tree on one core (QUORVEL_JOBS=1, -force on a
#     copy): at most 1.0x the CPU of djpeg decoding each photo at full size;
#   - a cold run of the tree on two cores: at most 0.55x the wall time of
#     djpeg decoding each photo one after another (WALL_RUNS, default 3, pairs).
#
#   scripts/bench.sh [PHOTO-TREE]
#
# PHOTO-TREE (default /tmp/qv-photos) is a tree of real photos, as made by
# make-photo-tree.sh (shared/bench/); when it holds no JPEG, that script is
# run into a scratch directory. Its largest photo is scaled and cropped with
# ImageMagick to 2592 x 1944 (5 MP) and 4000 x 3000 (12 MP).
# REPS (environment, default 15) repetitions of each reduction, RUNS (default
# 200) starts of each program; the figures are medians, with the spread.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
tree="${1:-/tmp/qv-photos}"
reps="${REPS:-15}"
runs="${RUNS:-200}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for tool in convert identify djpeg python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (imagemagick, libjpeg-turbo-progs)" >&2; exit 1; }
done

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BENCH=ON -DQUORVEL_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target resize_bench quorvel >/dev/null

if [[ -z "$(find "$tree" -iname '*.jpg' -print -quit 2>/dev/null)" ]]; then
  tree="$work/photos"
  /work/shared/bench/make-photo-tree.sh -n 20 "$tree" >"$work/photo-tree.log"
fi
largest="$(find "$tree" -iname '*.jpg' ! -iname '*.md.jpg' ! -iname '*.v?.jpg' -print0 |
  xargs -0 identify -format '%[fx:w*h] %d/%f\n' 2>/dev/null | sort -n | tail -1 | cut -d' ' -f2-)"
echo "photo: $largest ($(identify -format '%w x %h' "$largest"))"
convert "$largest" -resize 2592x1944^ -gravity center -extent 2592x1944 -quality 92 "$work/5mp.jpg"
convert "$largest" -resize 4000x3000^ -gravity center -extent 4000x3000 -quality 92 "$work/12mp.jpg"

# ---------------------------------------------------------------- reduction
QUORVEL_BENCH_PHOTOS="$work/5mp.jpg:$work/12mp.jpg" build-bench/resize_bench \
  --benchmark_filter='ReducePhoto' --benchmark_repetitions="$reps" \
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
EOF

# ---------------------------------------------------------------- start-up
mkdir -p "$work/empty" "$work/cwd"
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

# ---------------------------------------------------------------- cold run
cp -r "$tree" "$work/cold"
python3 - "${COLD_REPS:-5}" "$root/build-bench/quorvel" "$work/cold" <<'EOF'
import glob, os, resource, statistics, subprocess, sys
reps, quorvel, tree = int(sys.argv[1]), sys.argv[2], sys.argv[3]
photos = sorted(f for f in glob.glob(tree + "/**/*", recursive=True)
                if f.lower().endswith(".jpg") and not any(t in f for t in (".vi.", ".vr.", ".md.")))
env = dict(os.environ, QUORVEL_JOBS="1")
def cpu_of(cmd, cwd=None):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
ratios = []
for _ in range(reps):  # paired, so that both see the same load
    djpeg = sum(cpu_of(["djpeg", "-outfile", "/dev/null", p]) for p in photos)
    run = cpu_of([quorvel, os.path.basename(tree), "-force"], cwd=os.path.dirname(tree))
    ratios.append(run / djpeg)
med = statistics.median(ratios)
verdict = "met" if med <= 1.0 else "NOT met"
print(f"cold run of {len(photos)} photos on one core: {med:.2f}x djpeg's CPU "
      f"(median of {reps}, {min(ratios):.2f} to {max(ratios):.2f}); target <= 1.0x: {verdict}")
EOF

# ---------------------------------------------------------------- two cores
# A cold run of the whole tree (-force on a copy) with QUORVEL_JOBS=1 and 2,
# against djpeg decoding each photo one after another: wall time, in pairs.
cp -r "$tree" "$work/wall"
python3 - "$root/build-bench/quorvel" "$work" "${WALL_RUNS:-3}" <<'EOF'
import os, statistics, subprocess, sys, time
quorvel, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
photos = sorted(os.path.join(d, f) for d, _, fs in os.walk(f"{work}/wall") for f in fs
                if f.lower().endswith(".jpg") and not f.lower().endswith((".md.jpg", ".vi.jpg", ".vr.jpg")))
def wall(cmds, env=None):
    start = time.monotonic()
    for cmd in cmds:
        subprocess.run(cmd, cwd=f"{work}/cwd", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=env, check=False)
    return time.monotonic() - start
ratios = {1: [], 2: []}
for _ in range(runs):
    djpeg = wall([["djpeg", "-outfile", "/dev/null", p] for p in photos])
    for jobs in ratios:
        env = dict(os.environ, QUORVEL_JOBS=str(jobs))
        ratios[jobs].append(wall([[quorvel, f"{work}/wall", "-force"]], env) / djpeg)
for jobs, r in ratios.items():
    print(f"cold run, QUORVEL_JOBS={jobs}: {statistics.median(r):.2f}x the wall time of djpeg on each of "
          f"{len(photos)} photos (median of {runs}, {min(r):.2f} to {max(r):.2f})")
verdict = "met" if statistics.median(ratios[2]) <= 0.55 else "NOT met"
print(f"two cores: target <= 0.55x: {verdict}")
EOF
