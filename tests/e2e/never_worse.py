#!/usr/bin/env python3
"""A repair never hands over less than the damaged file shows: damaged copies
of corpus files go through deckmend-repair, and the repaired file must hold at
least as many slides and as much text as LibreOffice reads from the damaged
copy itself. Prints, per kind of damage, how often the damaged file was kept
and the text (characters, as the office counted them) before and after the
comparison.

usage: never_worse.py BUILD_DIR CORPUS_DIR DAMAGE_TOOL
"""
import concurrent.futures
import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office_measure import (convert_to_odp, damage, page_count, repair, require_office_and_corpus,  # noqa: E402
                            text_length)

BINARY = ["aspj-PPTtoPPTX.ppt", "fc-ecdl+paris2001.ppt", "phpp-Sample_12.ppt", "poi-38256.ppt",
          "poi-41246-2.ppt", "poi-bug58516.ppt", "poi-next_test_ppt_file.ppt", "tika-testPPT.ppt"]
PACKAGES = ["sc-autoshape-case018_rotation.pptx", "poi-testPPT.pptm", "tika-testPPTX_Thumbnail.pptx",
            "sc-077_grouped_shape.pptx", "oxsdk-QuizShow_TP10176929.potx", "poi-45541_Footer.pptx",
            "poi-aascu.org_workarea_downloadasset.aspx_id=5864.pptx", "poi-2411-Performance_Up.pptx"]
KINDS = {
    "ppt": ["drop-current-user", "zero-last-useredit", "zero-4k-middle", "flip-every-1000"],
    "pptx": ["flip-local-header", "zero-4k-middle"],
}
# A file saved anew by the office and read back may lose a few characters
# (automatic fields are written as their current text).
TEXT_TOLERANCE = 0.98

REPORT = re.compile(r"kept the (rebuilt|damaged) file[^:]*: ([\d,]+) slides?, ([\d,]+) characters"
                    r"(?:; the (?:rebuilt file held|damaged file opens with) ([\d,]+) slides?, ([\d,]+) characters)?")


def number(text):
    return int(text.replace(",", "")) if text else 0


def before_and_after(message):
    """Characters of the rebuilt file and of the file handed over, and whether
    the damaged file was kept, from deckmend-repair's report line."""
    m = REPORT.search(message)
    if not m:
        return 0, 0, False
    kept_source = m.group(1) == "damaged"
    handed = number(m.group(3))
    rebuilt = number(m.group(5)) if kept_source else handed
    return rebuilt, handed, kept_source


def main():
    build, corpus, damage_tool = sys.argv[1:4]
    require_office_and_corpus(corpus)
    work = tempfile.mkdtemp(prefix="deckmend-never-worse-")
    try:
        cases = []
        for folder, names in (("ppt", BINARY), ("pptx", PACKAGES)):
            for name in names:
                source = os.path.join(corpus, folder, name)
                if not os.path.exists(source):
                    continue
                ext = os.path.splitext(name)[1]
                for kind in KINDS[folder]:
                    stem = "%s--%s" % (kind, re.sub(r"[^A-Za-z0-9_.-]", "_", os.path.splitext(name)[0]))
                    damaged = os.path.join(work, "in", stem + ext)
                    os.makedirs(os.path.dirname(damaged), exist_ok=True)
                    damage(damage_tool, kind, 1, source, damaged)
                    cases.append((folder, kind, name, damaged, os.path.join(work, "out", stem + ext)))
        os.makedirs(os.path.join(work, "out"), exist_ok=True)

        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            outcomes = list(pool.map(lambda c: repair(build, c[3], c[4]), cases))
        shown = convert_to_odp([c[3] for c in cases], os.path.join(work, "odp-in"), os.path.join(work, "p1"))
        handed = convert_to_odp([c[4] for c, o in zip(cases, outcomes) if o[0] == 0], os.path.join(work, "odp-out"),
                                os.path.join(work, "p2"))

        failures = []
        totals = {}
        print("%-18s %-44s %4s %13s %13s %5s" % ("kind", "file", "exit", "damaged shows", "repaired", "kept"))
        for (folder, kind, name, damaged, dest), (code, message) in zip(cases, outcomes):
            src = (page_count(shown[damaged]), text_length(shown[damaged])) if damaged in shown else None
            out = (page_count(handed[dest]), text_length(handed[dest])) if dest in handed else (0, 0)
            rebuilt, final, kept_source = before_and_after(message)
            t = totals.setdefault((folder, kind), [0, 0, 0, 0])
            t[0] += 1
            t[1] += kept_source
            t[2] += rebuilt
            t[3] += final
            print("%-18s %-44s %4d %13s %13s %5s" % (kind, name[:44], code, "%d/%d" % src if src else "no",
                                                   "%d/%d" % out, "src" if kept_source else ""))
            if code not in (0, 1):
                failures.append("%s %s: exit %d" % (kind, name, code))
            if src and src[0] > 0 and (out[0] < src[0] or out[1] < TEXT_TOLERANCE * src[1]):
                failures.append("%s %s: repaired %d slides/%d characters, the damaged file shows %d/%d"
                                % (kind, name, out[0], out[1], src[0], src[1]))

        print("\n%-6s %-18s %5s %12s %14s %14s" % ("", "kind", "files", "source kept", "text before", "text after"))
        for (folder, kind), (count, kept, before, after) in totals.items():
            print("%-6s %-18s %5d %12d %14d %14d" % (folder, kind, count, kept, before, after))
        for f in failures:
            print("FAIL:", f)
        return 1 if failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
