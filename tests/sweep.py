#!/usr/bin/env python3
"""The damaged-file sweep: real presentations and damaged copies of them go
through deckmend-repair, each with a time bound.

Every run must end by itself with exit status 0 (a repaired file at the
destination) or 1 (one of the job's messages on stderr), leave the source's
bytes, times and mode as they were, leave nothing in the run's temporary folder or beside the
source (such as an office lock file), and show no sanitizer report. A corpus
file as it is, which the office opens (its truth file says so), must come back
repaired (exit 0) with a result that the office showed slides of (the report
says so), or that came back whole without needing the office.

By default a fixed choice of the corpus files is repaired as they are (every
repair starts the office, so each takes seconds), and for each damage kind a
few files (chosen by the kind and seed) are damaged with a few seeds. The
environment widens or narrows that:
  DECKMEND_SWEEP=wide          every file as it is and with every damage kind
                               that applies
  DECKMEND_SWEEP_FILES=N       files of each container kind as they are
                               (compound, package, other; default 16)
  DECKMEND_SWEEP_SEEDS=N       seeds per damage kind (default 2; wide 3)
  DECKMEND_SWEEP_PER_KIND=N    files per damage kind and seed (default 2)
  DECKMEND_SWEEP_JOBS=N        repairs at once (default 2)
  DECKMEND_SWEEP_TIMEOUT=S     time bound of one repair in seconds (default 120)
"""
import argparse
import concurrent.futures
import configparser
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field

CORPUS_FOLDERS = ("ppt", "pptx", "variants/ppt", "variants/pptx")
JOB_MESSAGE_KEYS = ("IDS_WORD8", "IDS_WORD9", "IDS_WORD13", "IDS_WORD14", "IDS_WORD15", "IDS_NOT_PRESENTATION",
                    "IDS_READ_ERROR", "IDS_PASSWORD_PROTECTED")
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "SUMMARY: UndefinedBehavior")
CFB_SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
GRACE_SECONDS = 10
SKIPPED = 77


@dataclass
class Case:
    name: str    # shown in the report
    source: str  # the file, as it is or damaged
    sound: bool = False  # as it is, and the office opens it: it must come back repaired


def opens_in_office(corpus, path):
    """What the file's truth says of the office opening it as it is."""
    truth = os.path.join(corpus, "truth", os.path.basename(path) + ".json")
    if not os.path.isfile(truth):
        return False
    with open(truth, encoding="utf-8") as f:
        return bool(json.load(f).get("opens"))


@dataclass
class Outcome:
    case: Case
    status: int = 0
    seconds: float = 0.0
    faults: list = field(default_factory=list)


def env_int(name, default):
    value = os.environ.get(name, "")
    return int(value) if value.isdigit() else default


def container_of(path):
    with open(path, "rb") as f:
        head = f.read(8)
    if head == CFB_SIGNATURE:
        return "cfb"
    return "zip" if head[:2] == b"PK" else "other"


def damage_kinds(damage_tool):
    """(kind, applies-to) pairs from the damage tool's list."""
    listing = subprocess.run([sys.executable, damage_tool, "--list"], check=True, capture_output=True, text=True)
    kinds = []
    for line in listing.stdout.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[1] in ("any", "cfb", "zip"):
            kinds.append((parts[0], parts[1]))
    return kinds


def corpus_files(corpus):
    files = []
    for folder in CORPUS_FOLDERS:
        path = os.path.join(corpus, folder)
        if os.path.isdir(path):
            files += [os.path.join(path, n) for n in sorted(os.listdir(path))
                      if os.path.isfile(os.path.join(path, n))]
    return files


def stable_rank(*parts):
    return hashlib.sha256("/".join(map(str, parts)).encode()).hexdigest()


def pick(files, count, *key):
    """`count` files chosen by `key`, the same on every run."""
    return sorted(files, key=lambda f: stable_rank(os.path.basename(f), *key))[:count]


def damage(damage_tool, kind, seed, source, output):
    """False when the kind does not apply to the file (the tool says so)."""
    run = subprocess.run([sys.executable, damage_tool, kind, str(seed), source, output], capture_output=True, text=True)
    if run.returncode != 0 and "does not apply" not in run.stderr:
        raise RuntimeError(f"damage.py {kind} {seed} {source}: {run.stderr.strip()}")
    return run.returncode == 0


def damaged_cases(files, corpus, damage_tool, folder):
    """Damaged copies in `folder`: per kind and seed a few files the kind
    applies to (or all of them in a wide sweep)."""
    containers = {f: container_of(f) for f in files}
    wide = os.environ.get("DECKMEND_SWEEP") == "wide"
    seeds = env_int("DECKMEND_SWEEP_SEEDS", 3 if wide else 2)
    per_kind = env_int("DECKMEND_SWEEP_PER_KIND", 2)
    cases = []
    for kind, applies in damage_kinds(damage_tool):
        fitting = [f for f in files if applies == "any" or containers[f] == applies]
        for seed in range(1, seeds + 1):
            made = 0
            for f in (fitting if wide else pick(fitting, len(fitting), kind, seed)):
                if not wide and made == per_kind:
                    break
                output = os.path.join(folder, f"{kind}-{seed}", os.path.basename(f))
                os.makedirs(os.path.dirname(output), exist_ok=True)
                if damage(damage_tool, kind, seed, f, output):
                    cases.append(Case(f"{os.path.relpath(f, corpus)} [{kind} {seed}]", output))
                    made += 1
    return cases


def undamaged_files(files):
    """All files in a wide sweep, else a fixed choice of each container kind."""
    if os.environ.get("DECKMEND_SWEEP") == "wide":
        return files
    count = env_int("DECKMEND_SWEEP_FILES", 16)
    chosen = []
    for kind in ("cfb", "zip", "other"):
        chosen += pick([f for f in files if container_of(f) == kind], count, "as-is")
    return sorted(chosen)


def build_cases(corpus, damage_tool, folder):
    files = corpus_files(corpus)
    cases = [Case(os.path.relpath(f, corpus), f, opens_in_office(corpus, f)) for f in undamaged_files(files)]
    return cases + damaged_cases(files, corpus, damage_tool, folder)


def job_messages(lang_folder):
    """Every text the job may end with, in every language."""
    texts = set()
    for name in os.listdir(lang_folder):
        parser = configparser.ConfigParser(interpolation=None, strict=False)
        parser.optionxform = str
        with open(os.path.join(lang_folder, name), encoding="utf-8-sig", errors="replace") as f:
            parser.read_string(f.read())
        for section in parser.sections():
            texts.update(parser[section][k].strip() for k in JOB_MESSAGE_KEYS if k in parser[section])
    return {t for t in texts if t}


def state_of(path):
    """The bytes' digest and the times and mode; read without touching the
    access time (the sweep owns its copies)."""
    fd = os.open(path, os.O_RDONLY | getattr(os, "O_NOATIME", 0))
    try:
        digest = hashlib.sha256()
        while chunk := os.read(fd, 1 << 20):
            digest.update(chunk)
    finally:
        os.close(fd)
    st = os.stat(path)
    return digest.hexdigest(), st.st_mtime_ns, st.st_atime_ns, st.st_mode


def run_bounded(command, env, timeout):
    """(status, stderr, timed out). A run over its time is asked to cancel and
    then killed with everything it started."""
    process = subprocess.Popen(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               start_new_session=True)
    try:
        out, err = process.communicate(timeout=timeout)
        return process.returncode, err.decode(errors="replace"), False
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            out, err = process.communicate(timeout=GRACE_SECONDS)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            out, err = process.communicate()
        return process.returncode, err.decode(errors="replace"), True


def prepare_source(case, folder):
    """A writable copy of the case's file, so that a write to it would succeed."""
    source = os.path.join(folder, "in", os.path.basename(case.source))
    os.makedirs(os.path.dirname(source))
    shutil.copyfile(case.source, source)
    os.chmod(source, 0o644)
    return source


def is_job_message(line, messages):
    # A read error carries the system's own words in brackets behind the text.
    return any(line == m or line.startswith(m + " (") for m in messages)


def check_sound(outcome, status, report_path):
    """A sound file must come back repaired, in a result the office opened."""
    if status != 0:
        outcome.faults.append("a sound file was not repaired")
        return
    try:
        with open(report_path, encoding="utf-8") as f:
            report = json.load(f)
    except (OSError, ValueError):
        outcome.faults.append("no report")
        return
    shown = report["result"]["checkedInOffice"] and report["result"]["slides"] > 0
    if not shown and not report.get("everythingKept"):
        outcome.faults.append("the result was not seen to open with slides: " + json.dumps(report["result"]))


def check_run(outcome, status, stderr, timed_out, destination, messages):
    faults = outcome.faults
    if timed_out:
        faults.append("no end within the time bound")
    if any(mark in stderr for mark in SANITIZER_MARKS):
        faults.append("sanitizer report")
    if status not in (0, 1):
        faults.append(f"exit status {status}")
    lines = [l[len("deckmend-repair: "):].strip() for l in stderr.splitlines() if l.startswith("deckmend-repair: ")]
    if status == 1 and not any(is_job_message(l, messages) for l in lines):
        faults.append("exit 1 without one of the job's messages")
    if status == 0 and not os.path.isfile(destination):
        faults.append("exit 0 without a repaired file")
    if faults:
        faults.append("stderr: " + stderr.strip()[-2000:])


def run_case(case, args, messages):
    outcome = Outcome(case)
    with tempfile.TemporaryDirectory(prefix="deckmend-sweep-") as folder:
        source = prepare_source(case, folder)
        before = state_of(source)
        temp = os.path.join(folder, "tmp")
        os.makedirs(temp)
        destination = os.path.join(folder, "out", "repaired" + os.path.splitext(source)[1])
        os.makedirs(os.path.dirname(destination))
        env = dict(os.environ, TMPDIR=temp)
        env.setdefault("ASAN_OPTIONS", "exitcode=86")
        env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1")
        started = time.monotonic()
        report_path = os.path.join(folder, "report.json")
        status, stderr, timed_out = run_bounded([args.repair, "--report", report_path, source, destination], env,
                                                args.timeout)
        outcome.seconds = time.monotonic() - started
        outcome.status = status
        check_run(outcome, status, stderr, timed_out, destination, messages)
        if case.sound:
            check_sound(outcome, status, report_path)
        after = state_of(source)
        if after[0] != before[0]:
            outcome.faults.insert(0, "the source's bytes changed")
        elif after != before:
            outcome.faults.insert(0, "the source's times or mode changed")
        left = sorted(os.listdir(temp))
        if left:
            outcome.faults.insert(0, "left in the temporary folder: " + ", ".join(left))
        beside = sorted(set(os.listdir(os.path.dirname(source))) - {os.path.basename(source)})
        if beside:
            outcome.faults.insert(0, "left beside the source: " + ", ".join(beside))
    return outcome


def report(outcomes, seconds):
    statuses = {}
    for o in outcomes:
        statuses[o.status] = statuses.get(o.status, 0) + 1
    print(f"sweep: {len(outcomes)} repairs in {seconds:.0f} s; exit statuses: "
          + ", ".join(f"{k}: {v}" for k, v in sorted(statuses.items())))
    for o in sorted(outcomes, key=lambda o: -o.seconds)[:5]:
        print(f"  slowest: {o.seconds:6.1f} s  {o.case.name}")
    failed = [o for o in outcomes if o.faults]
    for o in failed:
        print(f"FAULT {o.case.name} (exit {o.status}, {o.seconds:.1f} s)")
        for fault in o.faults:
            print("    " + fault)
    return not failed


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repair", required=True, help="the deckmend-repair program")
    parser.add_argument("--corpus", required=True, help="the corpus folder")
    parser.add_argument("--damage", required=True, help="the damage tool")
    parser.add_argument("--lang", required=True, help="the folder of the language files")
    args = parser.parse_args()
    args.timeout = env_int("DECKMEND_SWEEP_TIMEOUT", 120)
    if os.environ.get("DECKMEND_SKIP_REAL_OFFICE") == "1":
        print("sweep skipped: the run opted out of the office (DECKMEND_SKIP_REAL_OFFICE=1)")
        return SKIPPED
    if not shutil.which("soffice"):
        print("sweep failed: the office (soffice) is not installed")
        return 1
    if not os.path.isdir(args.corpus) or not os.path.isfile(args.damage):
        print("sweep failed: no corpus or damage tool at " + args.corpus)
        return 1
    messages = job_messages(args.lang)
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="deckmend-damaged-") as damaged:
        cases = build_cases(args.corpus, args.damage, damaged)
        if not cases:
            print("sweep failed: no files to repair")
            return 1
        with concurrent.futures.ThreadPoolExecutor(max_workers=env_int("DECKMEND_SWEEP_JOBS", 2)) as pool:
            outcomes = list(pool.map(lambda c: run_case(c, args, messages), cases))
    return 0 if report(outcomes, time.monotonic() - started) else 1


if __name__ == "__main__":
    sys.exit(main())
