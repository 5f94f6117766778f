#!/usr/bin/env python3
"""Fault injection: the native tool, started by the launcher stub, runs under
strace with one fault (EIO, ENOSPC, EINTR or SIGKILL) at one of its own file
system calls, for each such call of a reference run (not the dynamic loader's,
not the launcher's: strace traces the tool alone, from where its libraries are
loaded). The trace must show the fault where it was meant to land. Afterwards
each live file must be one whole version, the prepared files and config.xml
unchanged, nothing else in the folder (after a SIGKILL: once a following
normal run has finished), the exit status 0, no run hung, and every run that
met EINTR must have customised the package, as must one whose file system
refuses unnamed temporary files (EOPNOTSUPP at an O_TMPFILE open).

Usage: inject.py BIN_DIR SAMPLE_PACKAGE
Prints one summary line; each problem goes to stderr. Exits 1 on any.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

FAULTS = {"EIO": "error=EIO", "ENOSPC": "error=ENOSPC", "EINTR": "error=EINTR",
          "SIGKILL": "signal=SIGKILL"}
CIF, CMD = "TRKVpack_v2_TR0107_x.exe", "TRKVpack_v2_TR0107_xl.exe"
LIVE = {"kvsetup.cif": "kvsetup_o.cif", "kv-setup.cmd": "kv-setup_o.cmd"}  # and their variants
OURS = re.compile(r"\.pkgcustomize-[A-Za-z0-9]{6}$")
TIMEOUT = 20

bin_dir, sample = map(os.path.abspath, sys.argv[1:3])
work = tempfile.mkdtemp(prefix="pkgcustomize-fault-")
strace = shutil.which("strace")
for launcher in (CIF, CMD):
    shutil.copy(os.path.join(bin_dir, "launcher_stub"), os.path.join(work, launcher))


def read_folder(folder):
    """Each entry of the folder: a regular file's bytes, or what else it is."""
    return {e.name: open(e.path, "rb").read() if e.is_file(follow_symlinks=False)
            else "not a regular file" for e in os.scandir(folder)}


def run(files, launcher, inject=None, traced=True):
    """Runs the tool on a new folder holding `files`: (status or None when it
    hung, the folder afterwards, the live files it replaced, the trace's lines)."""
    folder = tempfile.mkdtemp(dir=work)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    # A second link outside keeps each live file's inode from being reused.
    inodes = {}
    for name in LIVE.keys() & files.keys():
        os.link(os.path.join(folder, name), f"{folder}.{name}")
        inodes[name] = os.stat(f"{folder}.{name}").st_ino
    trace = folder + ".trace"
    command = [os.path.join(work, launcher)]
    if traced:
        command += [strace, "-q", "-o", trace, "-e", "trace=%file,%desc,set_tid_address"]
        command += ["-e", "inject=" + inject] if inject else []
    command.append(os.path.join(bin_dir, "pkgcustomize"))
    process = subprocess.Popen(command, cwd=folder, start_new_session=True)
    try:
        status = process.wait(TIMEOUT)
    except subprocess.TimeoutExpired:  # the launcher, strace and the tool go together
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        status = None
    lines = open(trace).read().splitlines() if traced else []
    state = read_folder(folder)
    replaced = {name for name in LIVE if name in state and inodes.get(name) !=
                os.stat(os.path.join(folder, name)).st_ino}
    return status, state, replaced, lines


def key(line):
    """A call's name and what it works on (its first argument, or the path
    after AT_FDCWD), without the numbers and names that change from run to run."""
    name, args = line.split("(", 1)
    # getcwd's argument is where it puts its answer.
    first = "" if name == "getcwd" else re.match(r'(AT_FDCWD, )?("[^"]*"|[^,)]*)', args).group(2)
    first = re.sub(re.escape(work) + r'/[^/"]*', "FOLDER", first)
    return name, re.sub(r"\d+", "#", re.sub(r"pkgcustomize-\w{6}", "pkgcustomize-*", first))


def calls(lines):
    """The tool's own file system calls: (name, how many calls of that name up
    to this one since the start, key, whether it opens an unnamed file), from
    set_tid_address on."""
    counts, own, started = {}, [], False
    for line in lines:
        match = re.match(r"(\w+)\(", line)
        if not match:
            continue
        name = match.group(1)
        counts[name] = counts.get(name, 0) + 1
        if started and name != "mmap":
            own.append((name, counts[name], key(line), "O_TMPFILE" in line))
        started = started or name == "set_tid_address"
    return own


def landed(lines, name, nth, expected, fault):
    """True when the trace shows the fault at the nth call of `name`."""
    marked = [line for line in lines if line.endswith("(INJECTED)")] if fault != "SIGKILL" \
        else [line for line in lines if re.match(r"\w+\(.*= \?$", line)][-1:]
    if fault == "SIGKILL" and lines[-1:] != ["+++ killed by SIGKILL +++"]:
        return False
    same_name = [line for line in lines if line.startswith(name + "(")]
    return (len(marked) == 1 and len(same_name) >= nth and same_name[nth - 1] == marked[0]
            and key(marked[0]) == expected)


def outcome(state, replaced, before, reference):
    return ("customised" if (state, replaced) == reference else
            "unchanged" if state == before and not replaced else "partly")


def check(state, before, after, leftovers_allowed):
    """What is wrong with the folder: torn live files, changed prepared files, strangers."""
    wrong = []
    for name in sorted(set(state) | set(before)):
        if name in LIVE:
            whole = {before.get(name), after.get(name), before.get(LIVE[name])}
            if state.get(name) not in whole:
                wrong.append(name + " is torn")
        elif name not in state or name not in before:
            if not (leftovers_allowed and OURS.search(name)):
                wrong.append(name + (" is gone" if name in before else " is left in the folder"))
        elif state[name] != before[name]:
            wrong.append(name + " changed")
    return wrong


start = time.monotonic()
sample_files = {e.name: open(e.path, "rb").read() for e in os.scandir(sample) if e.is_file()}
problems, tally, runs = [], {}, 0
after_first_cmd = run(sample_files, CMD, traced=False)[1]
for scenario, launcher, before in (("typical .cif run", CIF, sample_files),
                                   ("first .cmd run", CMD, sample_files),
                                   ("second .cmd run", CMD, after_first_cmd)):
    status, after, replaced, lines = run(before, launcher)
    reference = (after, replaced)
    if status != 0 or not replaced:
        problems.append(f"{scenario}: the reference run does not customise the package")
        continue
    for name, nth, expected, unnamed in calls(lines):
        # Where the file system refuses unnamed files, a named one takes over.
        refused = {"EOPNOTSUPP": "error=EOPNOTSUPP"} if unnamed else {}
        for fault, action in (FAULTS | refused).items():
            where = f"{scenario}, {fault} at {name} #{nth} {expected[1]}"
            status, state, replaced, lines = run(before, launcher, f"{name}:{action}:when={nth}")
            runs += 1
            wrong = [] if landed(lines, name, nth, expected, fault) else ["the fault did not land"]
            wrong += ["hung"] if status is None else []
            wrong += check(state, before, after, fault == "SIGKILL")
            result = outcome(state, replaced, before, reference)
            if fault == "SIGKILL":
                if any(OURS.search(n) for n in state):
                    result = "left a temporary file"
                if run(state, launcher, traced=False)[1] != after:
                    wrong.append("the following run does not end customised and clean")
            else:
                wrong += [f"exit status {status}"] if status not in (0, None) else []
                if fault in ("EINTR", "EOPNOTSUPP") and result != "customised":
                    wrong.append("gave up on " + fault)
            tally.setdefault(fault, {}).setdefault(result, 0)
            tally[fault][result] += 1
            problems += [f"{where}: {w}" for w in wrong]
shutil.rmtree(work, ignore_errors=True)

for problem in problems:
    print(problem, file=sys.stderr)
figures = "; ".join(f"{fault} " + ", ".join(f"{n} {what}" for what, n in sorted(results.items()))
                    for fault, results in tally.items())
print(f"{runs} runs, {len(problems)} problems ({figures}), {time.monotonic() - start:.0f} s")
sys.exit(1 if problems else 0)
