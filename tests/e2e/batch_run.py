#!/usr/bin/env python3
"""Many damaged files at once: deckmend-repair --out-dir --jobs 2 over damaged
copies of corpus files must give every file the result it gets when repaired
alone (the same outcome, slides and characters in the report), and leave no
temporary file and no office process behind.

usage: batch_run.py BUILD_DIR CORPUS_DIR DAMAGE_TOOL

DECKMEND_BATCH_FILES sets how many damaged files (default 12).
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_measure import damage, require_office_and_corpus  # noqa: E402

KINDS = ("truncate-90", "zero-4k-middle", "cut-central-directory", "zero-fat", "flip-local-header",
         "drop-current-user", "junk-prefix", "zero-last-useredit")
SMALLEST, LARGEST = 20_000, 600_000


def chosen_sources(corpus, count):
    """Sound corpus files of a modest size, in a fixed order, each with a damage
    kind that applies to its container."""
    files = []
    for folder in ("ppt", "pptx"):
        for name in sorted(os.listdir(os.path.join(corpus, folder))):
            truth_path = os.path.join(corpus, "truth", name + ".json")
            if not os.path.isfile(truth_path):
                continue
            with open(truth_path, encoding="utf-8") as f:
                truth = json.load(f)
            size = os.path.getsize(os.path.join(corpus, folder, name))
            if truth.get("opens") and SMALLEST <= size <= LARGEST:
                files.append((hashlib.sha256(name.encode()).hexdigest(), os.path.join(corpus, folder, name),
                              truth.get("container")))
    return sorted(files)[:count]


def office_processes(marker):
    ps = subprocess.run(["ps", "-eo", "args"], capture_output=True, text=True).stdout
    return [line for line in ps.splitlines() if "soffice" in line and marker in line]


def figures(report):
    result = report.get("result") or {}
    return report.get("outcome"), result.get("slides"), result.get("characters")


def main():
    build, corpus, damage_tool = sys.argv[1:4]
    require_office_and_corpus(corpus)
    count = int(os.environ.get("DECKMEND_BATCH_FILES", "12"))
    program = os.path.join(build, "deckmend-repair")
    work = tempfile.mkdtemp(prefix="deckmend-batch-")
    try:
        temp = os.path.join(work, "tmp")
        os.makedirs(temp)
        env = dict(os.environ, TMPDIR=temp)
        inputs = os.path.join(work, "in")
        os.makedirs(inputs)
        sources = []
        for k, (_, path, container) in enumerate(chosen_sources(corpus, count)):
            fitting = [kind for kind in KINDS
                       if not (container == "cfb" and kind in ("cut-central-directory", "flip-local-header"))
                       and not (container == "zip" and kind in ("zero-fat", "drop-current-user", "zero-last-useredit"))]
            kind = fitting[k % len(fitting)]
            damaged = os.path.join(inputs, "%02d-%s-%s" % (k, kind, os.path.basename(path)))
            damage(damage_tool, kind, 1, path, damaged)
            sources.append(damaged)
        if not sources:
            print("failed: no corpus files to damage")
            return 1

        batch_out = os.path.join(work, "batch")
        os.makedirs(batch_out)
        batch = subprocess.run([program, "--jobs", "2", "--out-dir", batch_out, "--report",
                                os.path.join(work, "batch.json")] + sources,
                               capture_output=True, text=True, errors="replace", env=env, timeout=3600)
        print(batch.stdout)
        with open(os.path.join(work, "batch.json"), encoding="utf-8") as f:
            together = {r["source"]: r for r in json.load(f)["files"]}

        failures = []
        if os.listdir(temp):
            failures.append("left in the temporary folder: " + ", ".join(os.listdir(temp)))
        if office_processes(temp):
            failures.append("office processes left: %d" % len(office_processes(temp)))
        alone_out = os.path.join(work, "alone")
        os.makedirs(alone_out)
        for source in sources:
            report_path = os.path.join(work, os.path.basename(source) + ".json")
            subprocess.run([program, "--no-progress", "--report", report_path, source,
                            os.path.join(alone_out, os.path.basename(source))],
                           capture_output=True, text=True, errors="replace", env=env, timeout=600)
            with open(report_path, encoding="utf-8") as f:
                alone = json.load(f)
            if figures(alone) != figures(together.get(source, {})):
                failures.append("%s: alone %s, in the batch %s" % (os.path.basename(source), figures(alone),
                                                                   figures(together.get(source, {}))))
        repaired = sum(1 for r in together.values() if r.get("destination"))
        print("batch: %d files, %d repaired, exit %d" % (len(sources), repaired, batch.returncode))
        if batch.returncode != (0 if repaired == len(sources) else 1):
            failures.append("exit status %d with %d of %d repaired" % (batch.returncode, repaired, len(sources)))
        for f in failures:
            print("FAIL:", f)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
