#!/usr/bin/env python3
"""The power-cut model's own table: short programs that make real system calls
in a real folder under strace, and what the model must and must not build
from their records. In every row the model's view of the folder at the end
must also be what the folder really holds.

Usage: powercut_test.py   (prints each failure; exits 1 on any)
The fault-injection stage runs the table too (failures()).
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import powercut

PRELUDE = """
import os
W = os.O_WRONLY | os.O_CREAT
def made(name, data, flush=True):
    fd = os.open(name, W | os.O_TRUNC, 0o644)
    os.write(fd, data)
    if flush: os.fsync(fd)
    os.close(fd)
def flush_folder():
    fd = os.open(".", os.O_RDONLY | os.O_DIRECTORY)
    os.fsync(fd)
    os.close(fd)
"""


def ever(want):
    return "ever", want


def never(want):
    return "never", want


def at_end(want):
    return "at end", want


def not_at_end(want):
    return "not at end", want


def only(*names):
    return lambda state: set(state) <= set(names)


def holds(**files):
    """A state in which each named file holds these bytes (None: is absent)."""
    return lambda state: all(state.get(name) == data for name, data in files.items())


OLD = {"live": b"old"}
# (what, the folder before, the program, its fsync calls to inject as not done,
#  [(where, what a state must hold)]; "unmodelled": the model must refuse the run)
TABLE = [
    ("an unflushed write may be lost though its rename is flushed", OLD,
     "made('tmp', b'new', flush=False); os.rename('tmp', 'live'); flush_folder()", None,
     [at_end(holds(live=b"")), at_end(holds(live=b"new")), not_at_end(holds(live=b"old"))]),
    ("a write flushed before its rename is never lost", OLD,
     "made('tmp', b'new'); os.rename('tmp', 'live'); flush_folder()", None,
     [never(holds(live=b"")), ever(holds(live=b"old", tmp=b"new")),
      ever(holds(live=b"old", tmp=None)), at_end(holds(live=b"new", tmp=None)),
      not_at_end(holds(live=b"old"))]),
    ("a rename that the folder's flush does not follow may be lost", OLD,
     "made('tmp', b'new'); os.rename('tmp', 'live')", None,
     [at_end(holds(live=b"old", tmp=b"new")), at_end(holds(live=b"new", tmp=None)),
      at_end(holds(live=b"old", tmp=None))]),
    ("an injected fsync flushes nothing", OLD,
     "made('tmp', b'new'); os.rename('tmp', 'live'); flush_folder()", "fsync:retval=0:when=1",
     [at_end(holds(live=b""))]),
    ("each entry operation may be lost on its own: link kept, rename lost, or the other way",
     OLD, """
fd = os.open('.', os.O_TMPFILE | os.O_WRONLY, 0o644)
os.write(fd, b'new'); os.fsync(fd)
os.link(f'/proc/self/fd/{fd}', 'tmp', src_dir_fd=os.open('.', os.O_RDONLY))  # linkat
os.rename('tmp', 'live')
""", None,
     [at_end(holds(live=b"old", tmp=b"new")), at_end(holds(live=b"new", tmp=None)),
      at_end(holds(live=b"old", tmp=None)), never(holds(live=b""))]),
    ("entry operations are not ordered: a later rename may be kept, an earlier one lost",
     {"one": b"1", "two": b"2"}, """
made('a', b'A'); made('b', b'B'); flush_folder(); os.rename('a', 'one'); os.rename('b', 'two')
""", None, [at_end(holds(one=b"1", two=b"B", a=b"A")), at_end(holds(one=b"A", two=b"2", b=b"B"))]),
    ("an unnamed file never linked leaves nothing", OLD, """
fd = os.open('.', os.O_TMPFILE | os.O_WRONLY, 0o644)
os.write(fd, b'new'); os.fsync(fd); os.close(fd); flush_folder()
""", None, [never(lambda state: not only("live")(state)), never(holds(live=b"new"))]),
    ("a named temporary file and its removal may each be lost", OLD, """
made('live.tmp', b'x', flush=False); flush_folder(); os.unlink('live.tmp')
""", None,
     [ever(holds(**{"live.tmp": b""})), ever(holds(**{"live.tmp": b"x"})),
      at_end(holds(**{"live.tmp": b"x"})), at_end(holds(**{"live.tmp": None}))]),
    ("a removal flushed by the folder's flush is not lost", {"live": b"old", "gone": b"y"},
     "os.unlink('gone'); flush_folder()", None,
     [not_at_end(holds(gone=b"y")), ever(holds(gone=b"y"))]),
    ("a truncation in place may be kept while the write after it is lost", OLD, """
fd = os.open('live', os.O_WRONLY | os.O_TRUNC); os.write(fd, b'new')
""", None, [at_end(holds(live=b"")), at_end(holds(live=b"new")), at_end(holds(live=b"old"))]),
    ("a write over two pages may be torn between them", {"live": b"a" * 8192}, """
fd = os.open('live', os.O_WRONLY); os.pwrite(fd, b'b' * 8192, 0)
""", None, [at_end(holds(live=b"b" * 4096 + b"a" * 4096)), at_end(holds(live=b"b" * 8192))]),
    ("copies take the source's bytes at the offsets given or at the descriptors' own",
     {"live": b"old", "src": b"0123456789"}, """
s = os.open('src', os.O_RDONLY)
d = os.open('tmp', W, 0o644)
os.copy_file_range(s, d, 4, 2, 1)
os.copy_file_range(s, d, 3)
os.sendfile(d, s, 5, 2)
os.sendfile(d, s, None, 2)
os.lseek(d, 1, os.SEEK_SET); os.write(os.dup(d), b'X')
os.ftruncate(d, 8)
os.fsync(d); os.rename('tmp', 'live'); flush_folder()
""", None, [at_end(holds(live=b"0X25634\0")), never(holds(live=b""))]),
    ("appends go to the end, and sync flushes everything", OLD, """
made('tmp', b'ab', flush=False)
fd = os.open('tmp', os.O_WRONLY | os.O_APPEND); os.lseek(fd, 0, os.SEEK_SET); os.write(fd, b'cd')
os.rename('tmp', 'live'); os.sync()
""", None, [not_at_end(holds(live=b"old")), not_at_end(holds(live=b"")),
            at_end(holds(live=b"abcd")), ever(holds(live=b""))]),
    ("a folder made in the folder is not modelled", OLD, "os.mkdir('sub')", None, "unmodelled"),
]


def failures(strace=shutil.which("strace")):
    found = []
    work = tempfile.mkdtemp(prefix="pkgcustomize-powercut-")
    for what, before, program, inject, expected in TABLE:
        folder = tempfile.mkdtemp(dir=work)
        for name, data in before.items():
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)
        trace = folder + ".trace"
        subprocess.run([strace, "-q", "-o", trace] + powercut.RECORD
                       + (["-e", "inject=" + inject] if inject else [])
                       + [sys.executable, "-I", "-S", "-c", PRELUDE + program],
                       cwd=folder, check=True)
        lines = open(trace).read().splitlines()
        try:
            states = {}  # state's items -> whether a power cut after the last call gives it
            for _, model in powercut.points(lines, folder, before):
                for key in states:
                    states[key] = False
                for _, state in model.crash_states():
                    states[tuple(sorted(state.items()))] = True
            real = {e.name: open(e.path, "rb").read() for e in os.scandir(folder) if e.is_file()}
            if model.current() != real:
                found.append(f"{what}: the model ends with {model.current()}, the folder {real}")
        except powercut.Unmodelled as error:
            if expected != "unmodelled":
                found.append(f"{what}: {error}")
            continue
        if expected == "unmodelled":
            found.append(f"{what}: the model did not refuse the run")
            continue
        for n, (where, want) in enumerate(expected, 1):
            matching = [at_end for items, at_end in states.items() if want(dict(items))]
            ok = {"ever": bool(matching), "never": not matching, "at end": any(matching),
                  "not at end": not any(matching)}[where]
            if not ok:
                found.append(f"{what}: expectation {n} ({where}) does not hold")
    shutil.rmtree(work, ignore_errors=True)
    return found


if __name__ == "__main__":
    problems = failures()
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{len(TABLE)} cases, {len(problems)} failures")
    sys.exit(1 if problems else 0)
