"""What LibreOffice shows of a presentation, and the corpus's ground truth:
helpers shared by the end-to-end tests."""
import concurrent.futures
import json
import os
import queue
import re
import shutil
import subprocess
import sys
import zipfile
import xml.etree.ElementTree as ET

TEXT_NS = "urn:oasis:names:tc:opendocument:xmlns:text:1.0"
DRAW_NS = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
PRES_NS = "urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"


SKIPPED = 77


def require_office_and_corpus(corpus):
    """Ends the script: skipped when the run opted out of the office
    (DECKMEND_SKIP_REAL_OFFICE=1), failed when the office or the corpus is
    missing."""
    if os.environ.get("DECKMEND_SKIP_REAL_OFFICE") == "1":
        print("skipped: the run opted out of the office (DECKMEND_SKIP_REAL_OFFICE=1)")
        sys.exit(SKIPPED)
    if not shutil.which("soffice"):
        print("failed: the office (soffice) is not installed")
        sys.exit(1)
    if not os.path.isdir(os.path.join(corpus, "truth")):
        print("failed: no corpus at " + corpus)
        sys.exit(1)


def normalise(text):
    return re.sub(r"\s+", " ", text).strip()


def truth_texts(corpus, name):
    with open(os.path.join(corpus, "truth", name + ".json")) as f:
        truth = json.load(f)
    texts = [normalise(t) for s in (truth.get("slides") or []) for t in s.get("texts", [])]
    return truth, [t for t in texts if t]


def sound_files(corpus):
    names = []
    for path in sorted(os.listdir(os.path.join(corpus, "ppt"))):
        truth, texts = truth_texts(corpus, path)
        analysis = truth.get("ppt_analysis") or {}
        if truth.get("opens") and truth.get("container") == "cfb" and not analysis.get("ppt_encrypted") and texts:
            names.append(path)
    return names


def odp_texts(odp):
    """The texts of every page of an ODF presentation, notes left out."""
    with zipfile.ZipFile(odp) as z:
        root = ET.fromstring(z.read("content.xml"))
    texts = []
    pages = root.iter("{%s}page" % DRAW_NS)
    for page in pages:
        for notes in page.findall("{%s}notes" % PRES_NS):
            page.remove(notes)
        for para in page.iter():
            if para.tag in ("{%s}p" % TEXT_NS, "{%s}h" % TEXT_NS):
                texts.append(paragraph_text(para))
    return texts


def paragraph_text(element):
    """The characters of an ODF paragraph as the office holds them: runs of
    spaces, tabs and line breaks are elements of their own there."""
    text = element.text or ""
    for child in element:
        if child.tag == "{%s}s" % TEXT_NS:
            text += " " * int(child.get("{%s}c" % TEXT_NS, "1"))
        elif child.tag == "{%s}tab" % TEXT_NS:
            text += "\t"
        elif child.tag == "{%s}line-break" % TEXT_NS:
            text += "\n"
        else:
            text += paragraph_text(child)
        text += child.tail or ""
    return text


def page_count(odp):
    with zipfile.ZipFile(odp) as z:
        root = ET.fromstring(z.read("content.xml"))
    return sum(1 for _ in root.iter("{%s}page" % DRAW_NS))


def recovered_share(truth, found):
    """Share of the original's text characters found in the repaired file."""
    whole = normalise(" ".join(found))
    total = sum(len(t) for t in truth)
    kept = sum(len(t) for t in truth if t in whole)
    return kept / total if total else 1.0


def convert_to_odp(files, outdir, profile, processes=2):
    """Converts the files with a few LibreOffice runs at once (each with its own
    profile, every file in one of them); returns {file: odp path}."""
    shares = [files[k::processes] for k in range(processes)]

    # One profile for each run at a time: two offices cannot share one.
    profiles = queue.Queue()
    for k in range(processes):
        profiles.put(k)

    def convert(k):
        if not shares[k]:
            return
        slot = profiles.get()
        command = ["soffice", "-env:UserInstallation=file://%s-%d" % (profile, slot), "--headless", "--norestore",
                   "--convert-to", "odp", "--outdir", outdir] + shares[k]
        try:
            subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=900)
        except subprocess.TimeoutExpired:
            pass
        finally:
            profiles.put(slot)

    def odp_of(f):
        return os.path.join(outdir, os.path.splitext(os.path.basename(f))[0] + ".odp")

    with concurrent.futures.ThreadPoolExecutor(processes) as pool:
        list(pool.map(convert, range(processes)))
        # A run that crashes on one file or runs out of time leaves the files
        # after it unconverted: those are converted again, then one by one, so
        # that only the files that the office cannot open stay without one.
        for chunk in (10, 1):
            missing = [f for f in files if not os.path.exists(odp_of(f))]
            shares = [missing[k:k + chunk] for k in range(0, len(missing), chunk)]
            list(pool.map(convert, range(len(shares))))
    return {f: odp_of(f) for f in files if os.path.exists(odp_of(f))}


def repair(build, source, dest, options=()):
    """(exit status, what it printed); the JSON report goes to dest + ".json"."""
    try:
        run = subprocess.run([os.path.join(build, "deckmend-repair"), *options, "--report", dest + ".json", source,
                              dest], capture_output=True, text=True, errors="replace", timeout=300)
        return run.returncode, (run.stderr + run.stdout).strip()
    except subprocess.TimeoutExpired:
        return -1, "timed out"


def report_of(dest):
    with open(dest + ".json", encoding="utf-8") as f:
        return json.load(f)


def report_disagrees(dest, odp):
    """Why the report's figures of the result are not what the office shows of
    it: a text, or None when they agree. Slides must be equal; characters are
    counted by the repair through the shapes' texts in the office and by this
    script from the ODF paragraphs (fields, tabs and placeholder texts count
    differently), so they may differ by a tenth."""
    result = report_of(dest)["result"]
    if not result["checkedInOffice"]:
        return None
    pages, characters = page_count(odp), text_length(odp)
    if result["slides"] != pages:
        return "the report says %d slides, the office shows %d" % (result["slides"], pages)
    slack = max(20, characters // 10)
    if abs(result["characters"] - characters) > slack:
        return "the report says %d characters, the office shows %d" % (result["characters"], characters)
    return None


def damage(tool, kind, seed, source, dest):
    subprocess.run([sys.executable, tool, kind, str(seed), source, dest], check=True, stdout=subprocess.DEVNULL)


def text_length(odp):
    return sum(len(t) for t in odp_texts(odp))
