"""Prints the paths that the calls of an strace log wrote, one a line.

The log comes from strace -f -ff -y -z over the calls that create, change or
remove a file; opens count only when they open for writing. A path relative
to a folder descriptor is joined to that folder; one relative to the current
directory is printed as it is, and so never passes for a path in the prefix.
Usage: written_paths.py TRACE_FILE...
"""
import re
import sys

CALL = re.compile(r'^(\w+)\((.*)\)\s+=\s+-?\d')
# A path argument, after the folder descriptor it is relative to, if any
# (strace -y names the descriptor's folder, AT_FDCWD's too).
ARGUMENT = re.compile(r'(?:(?:\d+|AT_FDCWD)<([^>]*)>,\s*)?"((?:[^"\\]|\\.)*)"')
# Calls whose first path is only read: the target of a link, the file linked.
LAST_PATH_ONLY = {"symlink", "symlinkat", "link", "linkat"}
WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC")

for name in sys.argv[1:]:
    with open(name, errors="replace") as log:
        for line in log:
            call = CALL.match(line)
            if not call:
                continue
            syscall, arguments = call.groups()
            if syscall in ("open", "openat") and not any(f in arguments for f in WRITE_FLAGS):
                continue
            paths = []
            for folder, path in ARGUMENT.findall(arguments):
                if not path.startswith("/") and folder:
                    path = folder.rstrip("/") + "/" + path
                paths.append(path)
            if syscall in LAST_PATH_ONLY:
                paths = paths[-1:]
            for path in paths:
                print(path)
