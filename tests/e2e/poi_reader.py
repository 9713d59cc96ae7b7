"""Apache POI as a second reader of presentations: tests/e2e/PoiLoad.java run
with the single-file launcher over the jars Debian installs."""
import concurrent.futures
import glob
import os
import subprocess

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "PoiLoad.java")
JARS = ["poi", "poi-ooxml", "poi-ooxml-lite", "poi-ooxml-schemas", "poi-ooxml-full", "poi-scratchpad", "xmlbeans",
        "commons-io", "commons-collections4", "commons-compress", "commons-codec", "commons-math3",
        "log4j-api", "log4j-core", "SparseBitSet", "curvesapi"]


def classpath():
    found = []
    for jar in JARS:
        path = "/usr/share/java/%s.jar" % jar
        if os.path.exists(path):
            found.append(path)
    return ":".join(found)


def poi_load_batch(part):
    try:
        run = subprocess.run(["java", "-Djava.awt.headless=true", "-cp", classpath(), SOURCE] + part,
                             capture_output=True, text=True, errors="replace", timeout=600)
        out = [l for l in run.stdout.splitlines() if l.startswith(("slides ", "error "))]
    except (subprocess.TimeoutExpired, FileNotFoundError) as e:
        out = []
        error = "error " + type(e).__name__
    else:
        error = "error " + (run.stderr.strip().splitlines() or ["no output"])[-1]
    return out + [error] * (len(part) - len(out))


def poi_load_many(paths, batch=40, processes=2):
    """One line per file, in order: "slides N" or "error ..."; a few Java runs at once."""
    parts = [paths[start:start + batch] for start in range(0, len(paths), batch)]
    with concurrent.futures.ThreadPoolExecutor(processes) as pool:
        return [line for lines in pool.map(poi_load_batch, parts) for line in lines]


def poi_load(path):
    return poi_load_many([path])[0]


if __name__ == "__main__":
    import sys
    for line in poi_load_many(sys.argv[1:]):
        print(line)
