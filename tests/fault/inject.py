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

Power cuts: from a record of each reference run, every state that the disk
may hold if the power fails after one of the tool's calls (powercut.py says
what may be lost), each checked as after a SIGKILL, the following normal run
started on a folder that holds just that state. The model checks itself: its
table of small programs (powercut_test.py), and each run recorded once more
with its flushes of files left out (strace makes them return 0 without
flushing), where some power cut must tear a live file.

Usage: inject.py [--power-cuts | --without-file-flush] [--list-partly] BIN_DIR SAMPLE_PACKAGE
  --power-cuts          the power cuts alone, no faults
  --without-file-flush  the power cuts alone, of runs whose flushes of files
                        are left out: shows what the stage reports for a
                        build that does not flush a file before its rename
  --list-partly         after the summary, each kill point and power-cut
                        state that leaves a package partly customised
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

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import powercut
import powercut_test

FAULTS = {"EIO": "error=EIO", "ENOSPC": "error=ENOSPC", "EINTR": "error=EINTR",
          "SIGKILL": "signal=SIGKILL"}
CIF, CMD = "TRKVpack_v2_TR0107_x.exe", "TRKVpack_v2_TR0107_xl.exe"
LIVE = {"kvsetup.cif": "kvsetup_o.cif", "kv-setup.cmd": "kv-setup_o.cmd"}  # and their variants
OURS = re.compile(r"\.pkgcustomize-[A-Za-z0-9]{6}$")
TIMEOUT = 20

flags = {arg for arg in sys.argv[1:] if arg.startswith("--")}
without_file_flush = "--without-file-flush" in flags
power_cuts_only = without_file_flush or "--power-cuts" in flags
list_partly = "--list-partly" in flags
partly = {}  # scenario -> the kill points and power-cut states that leave it partly customised
bin_dir, sample = map(os.path.abspath, [arg for arg in sys.argv[1:] if arg not in flags][:2])
work = tempfile.mkdtemp(prefix="pkgcustomize-fault-")
strace = shutil.which("strace")
for launcher in (CIF, CMD):
    shutil.copy(os.path.join(bin_dir, "launcher_stub"), os.path.join(work, launcher))


def read_folder(folder):
    """Each entry of the folder: a regular file's bytes, or what else it is."""
    return {e.name: open(e.path, "rb").read() if e.is_file(follow_symlinks=False)
            else "not a regular file" for e in os.scandir(folder)}


def run(files, launcher, inject=None, traced=True, record=None):
    """Runs the tool on a new folder holding `files`: (status or None when it
    hung, the folder afterwards, the live files it replaced, the trace's lines,
    the folder's path). `record`: strace's options instead of the usual ones."""
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
        command += [strace, "-q", "-o", trace]
        command += record or ["-e", "trace=%file,%desc,set_tid_address"]
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
    return status, state, replaced, lines, folder


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


def left_out(flushes):
    """Ways to record a run with the given flushes ({call: [which ones]})
    returning 0 without flushing: (strace options, how many calls they mark).
    One run when each call's numbers make one when= range, else one per flush."""
    ranges = []
    for name, numbers in sorted(flushes.items()):
        step = numbers[1] - numbers[0] if len(numbers) > 1 else 1
        if numbers != list(range(numbers[0], numbers[-1] + 1, step)):
            return [(["-e", f"inject={name}:retval=0:when={n}"], 1)
                    for name, numbers in sorted(flushes.items()) for n in numbers]
        ranges += ["-e", f"inject={name}:retval=0:when={numbers[0]}..{numbers[-1]}+{step}"]
    return [(ranges, sum(map(len, flushes.values())))] if flushes else []


def power_cuts(launcher, before, after, inject=(), injected=0):
    """Records a run of `launcher` on `before`, with strace's `inject` options,
    which must mark `injected` calls: every state that a power cut may leave
    on disk during it ({state's items: where it arises}), and the run's
    flushes of files. Raises Unmodelled."""
    status, state, _, lines, folder = run(before, launcher, record=powercut.RECORD + list(inject))
    if status != 0 or state != after:
        raise powercut.Unmodelled("the recorded run does not end customised")
    if sum(line.endswith(" (INJECTED)") for line in lines) != injected:
        raise powercut.Unmodelled(f"strace did not inject {injected} calls")
    states, seen, file_flushes = powercut.crash_states(lines, folder, before)
    if seen != state:
        raise powercut.Unmodelled("the model ends with another folder than the run")
    return states, file_flushes


def writes_one_file(before, after):
    """True for a run that changes one live file: whatever stops it, the
    package is then customised or unchanged, never partly."""
    return sum(before.get(name) != after.get(name) for name in LIVE) == 1


def check_states(scenario, launcher, before, after, states, following=True):
    """Checks each state: each live file one whole version, the prepared files
    and config.xml unchanged, nothing else in the folder but temporary files of
    ours, and (when `following`) a following normal run ending customised and
    clean. Returns the states' outcomes, the problems, and how many states
    tear a live file."""
    outcomes, problems, torn = {}, [], 0
    for items, where in states.items():
        state = dict(items)
        wrong = check(state, before, after, True)
        torn += any(w.endswith(" is torn") for w in wrong)
        if following:
            if (launcher, items) not in following_runs:
                following_runs[launcher, items] = run(state, launcher, traced=False)[1]
            if following_runs[launcher, items] != after:
                wrong.append("the following run does not end customised and clean")
        result = ("left a temporary file" if any(OURS.search(n) for n in state) else
                  outcome(state, set(), before, (after, set())))
        if following and result == "partly":
            partly.setdefault(scenario, []).append("power cut " + where)
        if following and result == "partly" and writes_one_file(before, after):
            wrong.append("partly customised, though the run writes one live file")
        outcomes[result] = outcomes.get(result, 0) + 1
        problems += [f"{scenario}, {where}: {w}" for w in wrong]
    return outcomes, problems, torn


start = time.monotonic()
sample_files = {e.name: open(e.path, "rb").read() for e in os.scandir(sample) if e.is_file()}
# The live .cif file of an earlier edition, so that its old bytes, the variant
# as copied and the final file are three different versions.
sample_files["kvsetup.cif"] = sample_files["kvsetup_o.cif"].replace(b"Edition=", b"Edition=Old ")
assert sample_files["kvsetup.cif"] != sample_files["kvsetup_o.cif"]
problems, tally, runs, states, unflushed_states, torn = [], {}, 0, 0, 0, 0
cut_tally = {}
if not without_file_flush:
    problems += [f"the power-cut model's table: {f}" for f in powercut_test.failures(strace)]
following_runs = {}  # (launcher, state's items) -> the folder after a normal run on it
after_first_cmd = run(sample_files, CMD, traced=False)[1]
for scenario, launcher, before in (("typical .cif run", CIF, sample_files),
                                   ("first .cmd run", CMD, sample_files),
                                   ("second .cmd run", CMD, after_first_cmd)):
    status, after, replaced, lines, _ = run(before, launcher)
    reference = (after, replaced)
    one_file = writes_one_file(before, after)
    if status != 0 or not replaced:
        problems.append(f"{scenario}: the reference run does not customise the package")
        continue
    # Power cuts during the run as built, and where the file system refuses
    # unnamed files at one O_TMPFILE open (a named file takes over); each
    # distinct state checked once. Then the model's own check: with the run's
    # flushes of files left out, some power cut must tear a live file.
    try:
        cut, flushes = power_cuts(launcher, before, after)
        unflushed, left = {}, {}
        for inject, injected in left_out(flushes):
            more, still = power_cuts(launcher, before, after, inject, injected)
            unflushed, left = more | unflushed, still | left
        if without_file_flush:
            cut = unflushed
        for name, nth, _, unnamed in [] if without_file_flush else calls(lines):
            if unnamed:
                refused = ["-e", f"inject={name}:error=EOPNOTSUPP:when={nth}"]
                for items, where in power_cuts(launcher, before, after, refused, 1)[0].items():
                    cut.setdefault(items, f"unnamed files refused at {name} #{nth}, {where}")
        result, found, _ = check_states(scenario, launcher, before, after, cut)
        problems += found
        states += len(cut)
        for what, n in result.items():
            cut_tally[what] = cut_tally.get(what, 0) + n
        if flushes and not without_file_flush:
            torn_here = check_states(scenario, launcher, before, after, unflushed, False)[2]
            unflushed_states, torn = unflushed_states + len(unflushed), torn + torn_here
            if left:
                problems.append(f"{scenario}: strace did not leave out the flushes of files")
            elif not torn_here:
                problems.append(f"{scenario}: with its flushes of files left out, no power cut"
                                " tears a live file: the power-cut model is vacuous")
    except powercut.Unmodelled as error:
        problems.append(f"{scenario}: power cuts: {error}")
    if power_cuts_only:
        continue
    for name, nth, expected, unnamed in calls(lines):
        # Where the file system refuses unnamed files, a named one takes over.
        refused = {"EOPNOTSUPP": "error=EOPNOTSUPP"} if unnamed else {}
        for fault, action in (FAULTS | refused).items():
            where = f"{scenario}, {fault} at {name} #{nth} {expected[1]}"
            status, state, replaced, lines, _ = run(before, launcher, f"{name}:{action}:when={nth}")
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
            if one_file and result == "partly":
                wrong.append("partly customised, though the run writes one live file")
            if fault == "SIGKILL" and result == "partly":
                partly.setdefault(scenario, []).append(where)
            tally.setdefault(fault, {}).setdefault(result, 0)
            tally[fault][result] += 1
            problems += [f"{where}: {w}" for w in wrong]
shutil.rmtree(work, ignore_errors=True)

for problem in problems:
    print(problem, file=sys.stderr)
figures = "; ".join(f"{fault} " + ", ".join(f"{n} {what}" for what, n in sorted(results.items()))
                    for fault, results in (tally | {"power cut": cut_tally}).items())
if not without_file_flush:
    figures += (f"; without the flushes of files, {torn} of {unflushed_states} power-cut states"
                f" tear a live file; the model's table {len(powercut_test.TABLE)} cases")
figures += "".join(
    f"; {scenario} partly at {sum(not w.startswith('power cut') for w in places)} kill points"
    f" and {sum(w.startswith('power cut') for w in places)} power-cut states"
    for scenario, places in partly.items())
print(f"{runs} runs, {states} power-cut states, {len(problems)} problems ({figures}),"
      f" {time.monotonic() - start:.0f} s")
if list_partly:
    for scenario, places in partly.items():
        for where in places:
            print(f"partly: {where}")
sys.exit(1 if problems else 0)
