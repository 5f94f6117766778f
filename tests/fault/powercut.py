"""Power cuts, in the manner of ALICE (Pillai et al., OSDI 2014): from the
strace record of a run, every state that the package folder may hold on disk
if the power fails after any one of the run's system calls.

The record comes from `strace -xx -s BIG` (RECORD below): every string in
hexadecimal, written buffers whole. The model follows the run call by call:

- Files. Each file (inode) has the bytes on disk and the changes made to it
  since (writes, copies, truncations), in order. Before the run every byte is
  on disk; fsync or fdatasync of the file puts its current bytes there, sync
  and syncfs those of every file. A power cut keeps an in-order prefix of the
  changes, a write counting as one change per page that it touches (write-back
  goes page by page): none, some or all of them. Every subset rather than
  every prefix would only add more states of the same kind, mixes of old and
  new pages; the prefixes already hold the two cases that decide whether a
  file comes back whole: all its unflushed changes lost, and some kept but not
  all. Their number stays linear in the changes. A file's size reaches the
  disk no earlier than the bytes that it covers (ext4's data=ordered, XFS), so
  no state holds zeros or stale bytes where a write extended a file.
- The folder. It has the entries on disk (name -> file) and the entry
  operations made since: a create (open with O_CREAT), link, rename or
  unlink, each recorded as the names it sets (a rename kept while the link
  before it is lost still shows the file under its new name, the old one
  gone). fsync or fdatasync of the folder puts the current entries on disk.
  No file system promises the order in which it commits entry operations
  that no flush of the folder has ordered, so a power cut may lose each of
  them on its own; those kept apply in order (2**n states for n pending
  operations; a run has a handful at most).
- A flush of a file does not make its names durable, nor does a flush of the
  folder make its files' bytes durable. A file with no name in the folder
  (an O_TMPFILE never linked, or one whose links were all lost) is gone.
- A call that failed, or that strace marks INJECTED, did not happen: under
  `-e inject=fsync:retval=0` the fsync returns 0 and flushes nothing.
- Modes and owners are not modelled: the checks compare bytes.
- Files outside the folder are not modelled, except as the source of a copy
  into it, which the model refuses (it cannot know their bytes). A call that
  may change the folder in a way the model does not know (mkdir, writev, a
  shared writable mapping, ...) raises Unmodelled: the stage then fails
  instead of passing on a model that misses something.
"""
import itertools
import os
import re

# How strace records a run for the model.
RECORD = ["-xx", "-s", str(1 << 24), "-e", "trace=%file,%desc,sync,set_tid_address"]
PAGE = 4096
MOST_PENDING = 12  # entry operations between flushes of the folder: 2**12 states at most

# Calls that change neither a file's bytes nor the folder's entries (their
# effect on modes, times and offsets aside, which is handled or not modelled).
QUIET = set("""read pread64 readv preadv preadv2 fstat newfstatat stat lstat statx access
faccessat faccessat2 getdents getdents64 readlink readlinkat getcwd fchmod fchmodat chmod fchown
fchownat chown lchown utimensat utime utimes futimesat flock fadvise64 statfs fstatfs execve
set_tid_address getxattr lgetxattr fgetxattr listxattr llistxattr flistxattr munmap select
pselect6 poll ppoll inotify_add_watch name_to_handle_at""".split())


class Unmodelled(Exception):
    """The run made a call whose effect on the folder the model does not know."""


def _args(text):
    """A call's arguments as strace prints them, split at the top-level commas."""
    args, depth, start, quoted = [], 0, 0, False
    for i, c in enumerate(text):
        if c == '"':
            quoted = not quoted
        elif quoted:
            continue
        elif c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == "," and depth == 0:
            args.append(text[start:i].strip())
            start = i + 1
    rest = text[start:].strip()
    return args + [rest] if rest or args else args


def _bytes(arg):
    """The bytes of a -xx string argument; None when strace cut it short."""
    match = re.fullmatch(r'"((?:\\x[0-9a-f]{2})*)"(\.\.\.)?', arg)
    if not match:
        raise Unmodelled(f"not a -xx string: {arg[:60]}")
    return None if match.group(2) else bytes.fromhex(match.group(1).replace("\\x", ""))


def _path(arg):
    return _bytes(arg).decode("utf-8", "surrogateescape")


def _offset(arg):
    """What an offset pointer argument points to on entry ("[2]", "[1] => [4]"); None for NULL."""
    return None if arg == "NULL" else int(re.match(r"\[(\d+)\]", arg).group(1))


def _apply(data, changes):
    for change in changes:
        if change[0] == "truncate":
            data = data[:change[1]].ljust(change[1], b"\0")
        else:
            _, offset, piece = change
            data = data[:offset].ljust(offset, b"\0") + piece + data[offset + len(piece):]
    return data


def _pieces(offset, data):
    """A write split where it crosses page boundaries."""
    while data:
        size = min(len(data), PAGE - offset % PAGE)
        yield ("write", offset, data[:size])
        offset, data = offset + size, data[size:]


def shown(name):
    """A name with the random part of a temporary name left out."""
    return re.sub(r"pkgcustomize-\w{6}", "pkgcustomize-*", name)


class Description:
    """An open file description: what it refers to and its offset. An fd of the
    folder's file refers to an inode number, of the folder to FOLDER."""

    def __init__(self, target, append=False):
        self.target, self.offset, self.append = target, 0, append


FOLDER, OUTSIDE = "folder", "outside"


class Model:
    """The folder as the run sees it and as it stands on disk, call by call."""

    def __init__(self, folder, before):
        self.folder = os.path.realpath(folder)
        self.cwd = self.folder
        self.disk = {}  # inode -> bytes on disk
        self.changes = {}  # inode -> changes since
        self.entries = {}  # name -> inode, as the run sees them
        self.disk_entries = {}  # name -> inode, on disk
        self.pending = []  # (text, {name: inode or None}) since the folder's last flush
        self.fds = {}
        self.counts = {}  # calls by name so far, as strace's when= counts them
        self.file_flushes = {}  # name -> which calls of that name flushed a file
        for name, data in before.items():
            self.entries[name] = self.disk_entries[name] = self._new_inode(data)

    def _new_inode(self, data=b""):
        inode = len(self.disk)
        self.disk[inode], self.changes[inode] = data, []
        return inode

    def now(self, inode):
        return _apply(self.disk[inode], self.changes[inode])

    def _where(self, dirfd, path):
        """What a path names: ("entry", name), (FOLDER,), ("fd", n) for
        /proc/self/fd/n, or (OUTSIDE,)."""
        path = _path(path)
        if re.match(r"/proc/self/cwd(/|$)", path) and self.cwd:
            path = self.cwd + path[len("/proc/self/cwd"):]
        match = re.fullmatch(r"/proc/(?:self|\d+)/fd/(\d+)", path)
        if match:
            return ("fd", int(match.group(1)))
        if dirfd in ("AT_FDCWD", None):
            if self.cwd is None and not path.startswith("/"):
                raise Unmodelled("a relative path after a change to an unknown folder")
            base = self.cwd
        else:
            described = self.fds.get(int(dirfd))
            base = self.folder if described and described.target == FOLDER else None
            if base is None and not path.startswith("/"):
                return (OUTSIDE,)
        full = os.path.normpath(os.path.join(base or "/", path))
        if full == self.folder:
            return (FOLDER,)
        if os.path.dirname(full) == self.folder:
            return ("entry", os.path.basename(full))
        return (OUTSIDE,)

    def _change_entries(self, text, effect):
        self.pending.append((text, effect))
        for name, inode in effect.items():
            if inode is None:
                self.entries.pop(name, None)
            else:
                self.entries[name] = inode

    def _inode_of(self, where):
        """The inode a path names; None outside the folder."""
        if where[0] == "fd":
            target = self.fds[where[1]].target if where[1] in self.fds else None
            return target if isinstance(target, int) else None
        if where[0] == "entry":
            if where[1] not in self.entries:
                raise Unmodelled(f"the run found {where[1]}, which the model does not have")
            return self.entries[where[1]]
        return None

    def _write(self, fd, data, offset=None):
        """Records `data` written through fd at `offset` (None: the fd's offset,
        which then moves on)."""
        described = self.fds.get(fd)
        if described is None or not isinstance(described.target, int):
            return
        inode = described.target
        at = offset if offset is not None else (
            len(self.now(inode)) if described.append else described.offset)
        self.changes[inode] += _pieces(at, data)
        if offset is None:
            described.offset = at + len(data)

    def _copy(self, source_fd, source_offset, length):
        """The bytes that a copy between files reads, moving the source's
        offset on when none was given."""
        described = self.fds.get(source_fd)
        if described is None or not isinstance(described.target, int):
            raise Unmodelled("a copy into the folder from a file that the model does not know")
        at = source_offset if source_offset is not None else described.offset
        data = self.now(described.target)[at:at + length]
        if len(data) != length:
            raise Unmodelled("a copy of bytes that the source does not have")
        if source_offset is None:
            described.offset += length
        return data

    def _flush(self, fd, name):
        described = self.fds.get(fd)
        if described is None:
            return
        if isinstance(described.target, int):
            inode = described.target
            self.disk[inode], self.changes[inode] = self.now(inode), []
            self.file_flushes.setdefault(name, []).append(self.counts[name])
        elif described.target == FOLDER:
            self.disk_entries, self.pending = dict(self.entries), []

    def _touches_folder(self, args):
        """Whether a path among the arguments, or the first one as a file
        descriptor, names the folder or something in it."""
        for arg in args:
            if arg.startswith('"') and not arg.endswith("...") and (
                    self.cwd or _path(arg).startswith("/")):
                if self._where(None, arg)[0] != OUTSIDE:
                    return True
        first = args[0] if args else ""
        return first.isdigit() and self.fds.get(int(first), Description(OUTSIDE)).target != OUTSIDE

    def call(self, name, args, result):
        """Follows one call that succeeded and really happened."""
        a = args
        if name in ("open", "openat", "creat"):
            dirfd, a = (a[0], a[1:]) if name == "openat" else (None, a)
            flags = "O_CREAT|O_WRONLY|O_TRUNC" if name == "creat" else a[1]
            where = self._where(dirfd, a[0])
            if "O_TMPFILE" in flags:
                target = self._new_inode() if where[0] == FOLDER else OUTSIDE
            elif where[0] == FOLDER:
                target = FOLDER
            elif where[0] == "entry" and where[1] not in self.entries:
                if "O_CREAT" not in flags:
                    raise Unmodelled(f"the run opened {where[1]}, which the model does not have")
                target = self._new_inode()
                self._change_entries(f"the creation of {shown(where[1])}", {where[1]: target})
            else:
                target = self._inode_of(where)
                target = OUTSIDE if target is None else target
                if isinstance(target, int) and "O_TRUNC" in flags and (
                        "O_WRONLY" in flags or "O_RDWR" in flags):
                    self.changes[target].append(("truncate", 0))
            self.fds[result] = Description(target, "O_APPEND" in flags)
        elif name == "close":
            self.fds.pop(int(a[0]), None)
        elif name == "close_range":
            last = int(a[1]) if a[1].isdigit() else float("inf")  # ~0U
            for fd in [fd for fd in self.fds if int(a[0]) <= fd <= last]:
                del self.fds[fd]
        elif name in ("dup", "dup2", "dup3") or (
                name == "fcntl" and a[1] in ("F_DUPFD", "F_DUPFD_CLOEXEC")):
            if int(a[0]) in self.fds:
                self.fds[result] = self.fds[int(a[0])]
        elif name == "fcntl":
            pass
        elif name == "lseek":
            if int(a[0]) in self.fds:
                self.fds[int(a[0])].offset = result
        elif name in ("write", "pwrite64"):
            data = _bytes(a[1])
            if data is None or len(data) < result:
                raise Unmodelled("strace cut a written buffer short")
            self._write(int(a[0]), data[:result], int(a[3]) if name == "pwrite64" else None)
        elif name in ("copy_file_range", "sendfile"):
            out, source, source_offset, out_offset = (
                (int(a[2]), int(a[0]), _offset(a[1]), _offset(a[3])) if name == "copy_file_range"
                else (int(a[0]), int(a[1]), _offset(a[2]), None))
            if out in self.fds and isinstance(self.fds[out].target, int):
                self._write(out, self._copy(source, source_offset, result), out_offset)
        elif name in ("ftruncate", "truncate"):
            if name == "truncate":
                inode = self._inode_of(self._where(None, a[0]))
            else:
                inode = self.fds[int(a[0])].target if int(a[0]) in self.fds else None
            if isinstance(inode, int):
                self.changes[inode].append(("truncate", int(a[1])))
        elif name in ("fsync", "fdatasync"):
            self._flush(int(a[0]), name)
        elif name in ("sync", "syncfs"):
            for inode in self.disk:
                self.disk[inode], self.changes[inode] = self.now(inode), []
            self.disk_entries, self.pending = dict(self.entries), []
        elif name in ("rename", "renameat", "renameat2"):
            old, new = (self._where(None, a[0]), self._where(None, a[1])) if name == "rename" \
                else (self._where(a[0], a[1]), self._where(a[2], a[3]))
            if OUTSIDE == old[0] == new[0]:
                return
            if old[0] != "entry" or new[0] != "entry":
                raise Unmodelled(f"a rename into or out of the folder: {old} to {new}")
            moved, there = self.entries.get(old[1]), self.entries.get(new[1])
            if moved is None:
                raise Unmodelled(f"the run renamed {old[1]}, which the model does not have")
            if moved != there:  # else two names of one file: the rename does nothing
                effect = {old[1]: there, new[1]: moved} if "RENAME_EXCHANGE" in "".join(a[4:]) \
                    else {old[1]: None, new[1]: moved}
                self._change_entries(f"the rename of {shown(old[1])} to {shown(new[1])}", effect)
        elif name in ("link", "linkat"):
            if name == "link":
                source, new = self._where(None, a[0]), self._where(None, a[1])
            elif "AT_EMPTY_PATH" in a[4] and _bytes(a[1]) == b"":
                source, new = ("fd", int(a[0])), self._where(a[2], a[3])
            else:
                source, new = self._where(a[0], a[1]), self._where(a[2], a[3])
            if new[0] == OUTSIDE:
                return
            inode = self._inode_of(source)
            if new[0] != "entry" or inode is None:
                raise Unmodelled(f"a link into the folder of a file that the model does not know")
            self._change_entries(f"the link of {shown(new[1])}", {new[1]: inode})
        elif name in ("unlink", "unlinkat"):
            where = self._where(None, a[0]) if name == "unlink" else self._where(a[0], a[1])
            if where[0] == OUTSIDE:
                return
            if where[0] != "entry" or (name == "unlinkat" and "AT_REMOVEDIR" in a[2]):
                raise Unmodelled("a folder removed in the folder")
            self._change_entries(f"the removal of {shown(where[1])}", {where[1]: None})
        elif name == "chdir":
            where = self._where(None, a[0])
            self.cwd = self.folder if where[0] == FOLDER else None
        elif name == "fchdir":
            described = self.fds.get(int(a[0]))
            self.cwd = self.folder if described and described.target == FOLDER else None
        elif name == "mmap":
            fd = int(a[4]) if a[4].isdigit() else -1
            if "PROT_WRITE" in a[2] and "MAP_SHARED" in a[3] and fd in self.fds and \
                    isinstance(self.fds[fd].target, int):
                raise Unmodelled("a shared writable mapping of a file in the folder")
        elif name not in QUIET and self._touches_folder(a):
            raise Unmodelled(f"{name} on the folder or a file in it")

    def current(self):
        """The folder as the run sees it."""
        return {name: self.now(inode) for name, inode in self.entries.items()}

    def crash_states(self):
        """Each state that the folder may hold on disk if the power fails now:
        (what was lost, {name: bytes})."""
        pending = self.pending
        if len(pending) > MOST_PENDING:
            raise Unmodelled(f"{len(pending)} entry operations wait for a flush of the folder")
        for kept in itertools.product((True, False), repeat=len(pending)):
            entries = dict(self.disk_entries)
            for keep, (_, effect) in zip(kept, pending):
                if keep:
                    entries.update(effect)
            entries = {name: inode for name, inode in entries.items() if inode is not None}
            lost = [text for keep, (text, _) in zip(kept, pending) if not keep]
            inodes = sorted(set(entries.values()))
            names = {inode: " and ".join(shown(n) for n, i in sorted(entries.items()) if i == inode)
                     for inode in inodes}
            choices = [range(len(self.changes[inode]), -1, -1) for inode in inodes]
            for counts in itertools.product(*choices):
                contents = {inode: _apply(self.disk[inode], self.changes[inode][:count])
                            for inode, count in zip(inodes, counts)}
                lost_bytes = [f"the unflushed bytes of {names[inode]}" if count == 0 else
                              f"the last {len(self.changes[inode]) - count} of"
                              f" {len(self.changes[inode])} unflushed changes to {names[inode]}"
                              for inode, count in zip(inodes, counts)
                              if count < len(self.changes[inode])]
                yield (lost + lost_bytes,
                       {name: contents[inode] for name, inode in entries.items()})


LINE = re.compile(r"(\w+)\((.*)\)\s+= (-?\d+|0x[0-9a-f]+|\?)(.*)$")


def points(lines, folder, before):
    """Follows the run recorded in `lines` on a folder that held `before`:
    after each call from set_tid_address on (the tool's own calls), what it
    was and the model then. Raises Unmodelled."""
    model, started = Model(folder, before), False
    for line in lines:
        match = LINE.match(line)
        if not match:
            if re.match(r"\w+\(", line):
                raise Unmodelled(f"a call that the model cannot read: {line[:80]}")
            continue
        name, args, result, tail = match.groups()
        model.counts[name] = model.counts.get(name, 0) + 1
        result = None if result == "?" else int(result, 0)
        if result is not None and result >= 0 and "(INJECTED)" not in tail:
            model.call(name, _args(args), result)
        started = started or name == "set_tid_address"
        if started:
            what = f"{name} #{model.counts[name]}"
            if re.match(r"(rename|link|unlink|open)", name):
                paths = [arg for arg in _args(args) if arg.startswith('"')]
                what += " (" + " to ".join(shown(_path(arg)) for arg in paths) + ")"
            yield what, model


def crash_states(lines, folder, before):
    """Every state that the folder may hold on disk if the power fails after
    one of the tool's own calls, de-duplicated: {state as sorted (name, bytes)
    items: where it first arises}; the folder as the run left it, as the
    model sees it; and the calls of each name that flushed a file, numbered as
    strace's when= counts them. Raises Unmodelled."""
    states, model = {}, Model(folder, before)
    for what, model in points(lines, folder, before):
        for lost, state in model.crash_states():
            key = tuple(sorted(state.items()))
            if key not in states:
                states[key] = f"power cut after {what}" + (
                    ", losing " + "; ".join(lost) if lost else "")
    return states, model.current(), model.file_flushes
