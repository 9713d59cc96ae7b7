#!/usr/bin/env python3
"""Packages end to end: sound .pptx files of the corpus, damaged in five ways
(two seeds for the seeded kinds), go through deckmend-repair --no-compare; each result is opened
in LibreOffice and in Apache POI, and per kind of damage the share of results
that open and the share of the original's text they show are printed.

usage: package_end_to_end.py BUILD_DIR CORPUS_DIR DAMAGE_TOOL [--report-only]

Every result that LibreOffice opens must load in POI wherever POI loads the
undamaged original. With --report-only nothing fails: the figures are printed
(to compare two builds). DECKMEND_E2E_ALL=1 takes every sound package instead
of the sample; DECKMEND_E2E_JOBS sets how many repairs run at once (2).
"""
import concurrent.futures
import os
import subprocess
import sys
import tempfile
import shutil

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_measure import (convert_to_odp, damage as damage_copy, odp_texts, page_count,  # noqa: E402
                            recovered_share, require_office_and_corpus, truth_texts)
from poi_reader import poi_load_many  # noqa: E402

KINDS = ["truncate-90", "truncate-60", "flip-local-header", "zero-4k-middle", "flip-every-1000"]
SEEDS = [1, 2]
# Damage that the seed does not change is made once.
UNSEEDED = {"truncate-90", "truncate-60", "zero-4k-middle"}
# Least share that opens and least mean share of the text, per kind.
FLOORS = {
    "truncate-90": (0.90, 0.70),
    "truncate-60": (0.75, 0.40),
    "flip-local-header": (1.00, 0.0),
    # Measured: every result opens; flipped bits cut most parts short.
    "zero-4k-middle": (0.95, 0.80),
    "flip-every-1000": (0.60, 0.10),
}
SAMPLE = 14


def sound_packages(corpus):
    import json
    names = []
    for name in sorted(os.listdir(os.path.join(corpus, "pptx"))):
        with open(os.path.join(corpus, "truth", name + ".json")) as f:
            truth = json.load(f)
        _, texts = truth_texts(corpus, name)
        if truth.get("opens") and truth.get("container") == "zip" and texts:
            names.append(name)
    return names


def sample(names):
    if os.environ.get("DECKMEND_E2E_ALL") or len(names) <= SAMPLE:
        return names
    step = len(names) / SAMPLE
    return [names[int(i * step)] for i in range(SAMPLE)]


def convert_all(files, outdir, profile, processes=2):
    """Converts the files, every other one in each of two office runs at once;
    where a run stops (a file that brings the office down), the first file left
    is counted as not opened and the rest of that run's files go on in a new one."""
    def convert_share(k):
        odps, left = {}, files[k::processes]
        while left:
            got = convert_to_odp(left, outdir, "%s-%d" % (profile, k), processes=1)
            odps.update(got)
            reached = max([i for i, f in enumerate(left) if f in got], default=-1)
            # Files before the last one converted were tried and refused; the one
            # after it stopped the run.
            left = left[reached + 2:]
        return odps

    odps = {}
    with concurrent.futures.ThreadPoolExecutor(processes) as pool:
        for share in pool.map(convert_share, range(processes)):
            odps.update(share)
    return odps


def repair(build, source, dest):
    try:
        run = subprocess.run([os.path.join(build, "deckmend-repair"), "--no-compare", source, dest],
                             capture_output=True, text=True, errors="replace", timeout=300)
        return run.returncode, (run.stderr + run.stdout).strip()
    except subprocess.TimeoutExpired:
        return -1, "timed out"


def main():
    build, corpus, damage = sys.argv[1:4]
    require_office_and_corpus(corpus)
    report_only = "--report-only" in sys.argv[4:]
    names = sample(sound_packages(corpus))
    jobs = int(os.environ.get("DECKMEND_E2E_JOBS", "2"))
    work = tempfile.mkdtemp(prefix="deckmend-pkg-e2e-")
    try:
        cases = []
        for name in names:
            for kind in KINDS:
                for seed in SEEDS[:1] if kind in UNSEEDED else SEEDS:
                    stem = "%s-%d--%s" % (kind, seed, os.path.splitext(name)[0].replace("+", "_"))
                    damaged = os.path.join(work, stem + "-in.pptx")
                    damage_copy(damage, kind, seed, os.path.join(corpus, "pptx", name), damaged)
                    cases.append((name, kind, damaged, os.path.join(work, stem + ".pptx")))
        with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
            outcomes = list(pool.map(lambda c: repair(build, c[2], c[3]), cases))
        repaired = [c[3] for c, o in zip(cases, outcomes) if o[0] == 0]
        odps = convert_all(repaired, os.path.join(work, "odp"), os.path.join(work, "profile"))

        originals = poi_load_many([os.path.join(corpus, "pptx", n) for n in names])
        originals_in_poi = {n: line.startswith("slides") for n, line in zip(names, originals)}
        opened_outputs = [d for d in repaired if d in odps and page_count(odps[d]) > 0]
        poi_lines = dict(zip(opened_outputs, poi_load_many(opened_outputs)))
        failures = []
        per_kind = {k: [] for k in KINDS}
        print("%-18s %-44s %4s %5s %5s  %s" % ("kind", "file", "exit", "pages", "text", "poi"))
        for (name, kind, _, dest), (code, message) in zip(cases, outcomes):
            _, truth = truth_texts(corpus, name)
            opened, share, pages, poi = False, 0.0, 0, "-"
            odp = odps.get(dest) if code == 0 else None
            if odp and page_count(odp) > 0:
                opened, pages = True, page_count(odp)
                share = recovered_share(truth, odp_texts(odp))
                poi = poi_lines[dest]
                if originals_in_poi[name] and not poi.startswith("slides"):
                    failures.append("%s %s: opens in the office, not in POI (%s)" % (kind, name, poi))
            per_kind[kind].append((opened, share))
            print("%-18s %-44s %4d %5d %4.0f%%  %s" % (kind, name[:44], code, pages, 100 * share, poi[:60]))

        print("\n%-18s %6s %7s %9s" % ("kind", "files", "open", "mean text"))
        for kind, rows in per_kind.items():
            opens = sum(1 for o, _ in rows if o) / len(rows)
            text = sum(s for _, s in rows) / len(rows)
            print("%-18s %6d %6.0f%% %8.0f%%" % (kind, len(rows), 100 * opens, 100 * text))
            floor = FLOORS.get(kind)
            if floor and (opens < floor[0] or text < floor[1]):
                failures.append("%s: %.0f%% open, %.0f%% text, below %.0f%% / %.0f%%" %
                                (kind, 100 * opens, 100 * text, 100 * floor[0], 100 * floor[1]))
        print("\nPOI loads %d of %d undamaged originals; only their results must load in it"
              % (sum(originals_in_poi.values()), len(names)))
        for f in failures:
            print("FAIL:", f)
        return 0 if report_only or not failures else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
