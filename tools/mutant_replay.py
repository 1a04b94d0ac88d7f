#!/usr/bin/env python3
"""Replays the mutants of a mutation sampler's report (its --report file) on another tree: each
at the line that still holds its original text (the nearest one to its old line number), one at a
time, with a build and a stop-on-failure test run as the sampler does them. A failing test that
passes when run again alone makes the mutant "flaky". Every file is put back after its mutant.

    tools/mutant_replay.py REPORT TREE BUILD      (BUILD relative to TREE, configured with tests)
"""
import re, subprocess, sys, time
report, tree, build = sys.argv[1], sys.argv[2], sys.argv[3]
row = re.compile(r"^(\w+)\s+(\S+):(\d+)\s+\[([^\]]+)\]\s+(.*?)  =>  (.*?)(?: by \S+)?\s*$")
def run(cmd, timeout=3600):
    try:
        return subprocess.run(cmd, cwd=tree, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
for n, line in enumerate(open(report), 1):
    m = row.match(line.rstrip("\n"))
    if not m:
        continue
    before, path, lineno, kind, orig, mutated = m.groups()
    if before in ("no", "flaky") or before.startswith("no"):
        print(f"{n:2} skip ({before}) {path}:{lineno}", flush=True); continue
    text = open(f"{tree}/{path}").read().split("\n")
    places = [i for i, t in enumerate(text) if t.strip() == orig.strip()]
    if not places:
        print(f"{n:2} gone      {path}:{lineno} [{kind}] {orig.strip()}", flush=True); continue
    i = min(places, key=lambda k: abs(k + 1 - int(lineno)))
    saved = text[i]
    indent = saved[: len(saved) - len(saved.lstrip())]
    text[i] = indent + mutated.strip()
    open(f"{tree}/{path}", "w").write("\n".join(text))
    start = time.time()
    try:
        b = run(["cmake", "--build", build])
        if b is None or b.returncode != 0:
            verdict = "no build"
        else:
            t = run(["ctest", "--test-dir", build, "-j", "2", "--stop-on-failure", "--timeout", "300"])
            if t is not None and t.returncode == 0:
                verdict = "survived"
            else:
                failed = re.findall(r"\d+ - (\S+) \(", t.stdout if t else "")
                verdict = "killed"
                if failed:
                    r = run(["ctest", "--test-dir", build, "-R", "^" + re.escape(failed[0]) + "$", "--timeout", "300"])
                    verdict = "flaky" if r is not None and r.returncode == 0 else "killed by " + failed[0]
    finally:
        text[i] = saved
        open(f"{tree}/{path}", "w").write("\n".join(text))
    print(f"{n:2} {verdict:10} {path}:{i+1} (was {before} at :{lineno}) [{kind}] {orig.strip()} ({time.time()-start:.0f} s)", flush=True)
run(["cmake", "--build", build])
