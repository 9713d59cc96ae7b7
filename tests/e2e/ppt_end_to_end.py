#!/usr/bin/env python3
"""Binary presentations end to end: sound files of the corpus and damaged
copies of them go through deckmend-repair; every repaired file must open in
LibreOffice, and the share of the original's text that it holds is measured
per kind of damage against the corpus's ground truth.

usage: ppt_end_to_end.py BUILD_DIR CORPUS_DIR DAMAGE_TOOL

DECKMEND_E2E_ALL=1 takes every sound file of the corpus instead of the set
below, and DECKMEND_E2E_FILES (names, comma-separated) only those of them,
DECKMEND_E2E_KINDS (comma-separated) only those kinds of damage;
DECKMEND_E2E_JOBS sets how many repairs run at once (2).
"""
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_measure import (convert_to_odp, damage as damage_copy, odp_texts, page_count,  # noqa: E402
                            recovered_share, repair, report_disagrees, report_of, require_office_and_corpus,
                            sound_files, truth_texts)
from poi_reader import poi_load_many  # noqa: E402

# Files chosen for their features: incremental saves, notes, many slides,
# pictures of every kind, a large file, Mac and older writers.
CHOSEN = [
    "aspj-PPTtoPPTX.ppt", "fc-ecdl+paris2001.ppt", "jod-test_multi_page.ppt", "phpp-Sample_12.ppt",
    "poi-38256.ppt", "poi-41246-2.ppt", "poi-42520.ppt", "poi-47261.ppt", "poi-bug58516.ppt",
    "poi-next_test_ppt_file.ppt", "poi-slide_master.ppt", "poi-with_textbox.ppt", "tika-testPPT.ppt",
    "poi-bug61881.ppt", "olet-sample_with_lnk_file.pps",
]

# Kinds of damage and the least mean share of the original's text that the
# repaired files must hold (measured; see the closing figures).
KINDS = {
    "none": 0.95,
    "zero-fat": 0.90,
    "zero-directory": 0.90,
    "zero-header": 0.90,
    "truncate-90": 0.75,
    "drop-current-user": 0.90,
    "zero-last-useredit": 0.85,
}

# Taken only in the whole-corpus run, which reports and sets no floor.
WHOLE_CORPUS_KINDS = {
    "zero-4k-middle": 0.0,
    "flip-every-1000": 0.0,
}

def main():
    build, corpus, damage = sys.argv[1:4]
    require_office_and_corpus(corpus)
    whole_corpus = bool(os.environ.get("DECKMEND_E2E_ALL"))
    names = sound_files(corpus) if whole_corpus else CHOSEN
    if os.environ.get("DECKMEND_E2E_FILES"):
        names = [n for n in names if n in os.environ["DECKMEND_E2E_FILES"].split(",")]
    kinds = dict(KINDS, **WHOLE_CORPUS_KINDS) if whole_corpus else KINDS
    if os.environ.get("DECKMEND_E2E_KINDS"):
        kinds = {k: v for k, v in kinds.items() if k in os.environ["DECKMEND_E2E_KINDS"].split(",")}
    jobs = int(os.environ.get("DECKMEND_E2E_JOBS", "2"))
    work = tempfile.mkdtemp(prefix="deckmend-e2e-")
    try:
        cases = []
        for name in names:
            source = os.path.join(corpus, "ppt", name)
            for kind in kinds:
                stem = "%s--%s" % (kind, os.path.splitext(name)[0].replace("+", "_"))
                damaged = os.path.join(work, stem + "-in" + os.path.splitext(name)[1])
                if kind == "none":
                    shutil.copyfile(source, damaged)
                else:
                    try:
                        damage_copy(damage, kind, 1, source, damaged)
                    except subprocess.CalledProcessError:
                        # The damage needs a part the file lacks (a stream, a record).
                        print("not applicable: %s to %s" % (kind, name))
                        continue
                cases.append((name, kind, damaged, os.path.join(work, stem + os.path.splitext(name)[1])))

        with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
            outcomes = list(pool.map(lambda c: repair(build, c[2], c[3]), cases))

        repaired = [c[3] for c, o in zip(cases, outcomes) if o[0] == 0]
        odps = convert_to_odp(repaired, os.path.join(work, "odp"), os.path.join(work, "profile"))
        # The stricter second reader: wherever POI loads the original, it must load
        # the result too and find the slides that the office shows.
        originals = sorted(set(os.path.join(corpus, "ppt", c[0]) for c in cases))
        poi_original = dict(zip(originals, poi_load_many(originals)))
        poi_result = dict(zip(repaired, poi_load_many(repaired)))
        methods = {kind: {} for kind in kinds}
        # Per kind: files that open, whose slide count is the original's, and
        # that show more slides than the original (a defect, always).
        opened = {kind: 0 for kind in kinds}
        slides_right = {kind: 0 for kind in kinds}
        too_many = {kind: 0 for kind in kinds}

        failures = []
        per_kind = {kind: [] for kind in kinds}
        print("%-22s %-48s %5s %6s %6s  %s" % ("kind", "file", "exit", "pages", "text", "message"))
        for (name, kind, _, dest), (code, message) in zip(cases, outcomes):
            original, truth = truth_texts(corpus, name)
            share, pages = 0.0, 0
            if code == 0:
                odp = odps.get(dest)
                if odp and page_count(odp) > 0:
                    pages = page_count(odp)
                    opened[kind] += 1
                    slides_right[kind] += pages == original.get("slide_count")
                    if pages > original.get("slide_count", pages):
                        too_many[kind] += 1
                        failures.append("%s %s: %d slides, the original has %d"
                                        % (kind, name, pages, original["slide_count"]))
                    share = recovered_share(truth, odp_texts(odp))
                    disagreement = report_disagrees(dest, odp)
                    if disagreement:
                        failures.append("%s %s: %s" % (kind, name, disagreement))
                    method = report_of(dest)["method"]
                    methods[kind][method] = methods[kind].get(method, 0) + 1
                    poi = poi_result.get(dest, "error not loaded")
                    if poi_original[os.path.join(corpus, "ppt", name)].startswith("slides "):
                        if not poi.startswith("slides "):
                            failures.append("%s %s: POI cannot load the result: %s" % (kind, name, poi))
                        elif int(poi.split()[1]) != pages:
                            failures.append("%s %s: POI finds %s, the office %d slides" % (kind, name, poi, pages))
                else:
                    failures.append("%s %s: repaired file does not open in LibreOffice" % (kind, name))
            elif code != 1:
                failures.append("%s %s: exit %d (%s)" % (kind, name, code, message))
            per_kind[kind].append(share)
            print("%-22s %-48s %5d %6d %5.0f%%  %s" % (kind, name, code, pages, 100 * share,
                                                       message.splitlines()[-1] if message else ""))

        print("\n%-22s %6s %6s %7s %6s %9s %7s  %s" % ("kind", "files", "opened", "slides=", "more", "mean text",
                                                          "floor", "methods"))
        for kind, shares in per_kind.items():
            mean = sum(shares) / len(shares) if shares else 0.0
            used = ", ".join("%s %d" % m for m in sorted(methods[kind].items()))
            print("%-22s %6d %6d %7d %6d %8.0f%% %6.0f%%  %s" % (kind, len(shares), opened[kind], slides_right[kind],
                                                                too_many[kind], 100 * mean, 100 * kinds[kind], used))
            if not whole_corpus and mean < kinds[kind]:
                failures.append("%s: mean text %.0f%% below the floor of %.0f%%" % (kind, 100 * mean, 100 * KINDS[kind]))
        for f in failures:
            print("FAIL:", f)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
