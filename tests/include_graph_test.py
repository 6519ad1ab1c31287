"""Every #include stays inside what the README's layout table lets its
folder use, and the table itself has no cycle: the arrows run one way.

Usage: include_graph_test.py SOURCE_ROOT"""
import re
import sys
from pathlib import Path

TABLE_ROW = re.compile(r"^\| `([^`]+/)` \|.*\| ([^|]+) \|$")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = {".c", ".cpp", ".h", ".rc"}


def read_table(readme):
    """{folder: set of folders it may include from, or None for any}."""
    allowed = {}
    for line in readme.read_text(encoding="utf-8").splitlines():
        row = TABLE_ROW.match(line)
        if not row:
            continue
        folder, uses = row.group(1), row.group(2).strip()
        allowed[folder] = None if uses == "any folder" else set(re.findall(r"`([^`]+/)`", uses))
    return allowed


def owner(path, folders):
    """The most specific listed folder holding `path` (host/sdk/ before host/)."""
    matches = [f for f in folders if path.startswith(f)]
    return max(matches, key=len) if matches else None


def find_cycle(allowed):
    """A folder that reaches itself through the table's arrows, or None."""
    def reaches(start, goal, seen):
        for next_folder in allowed.get(start) or ():
            if next_folder == goal:
                return True
            if next_folder not in seen:
                seen.add(next_folder)
                if reaches(next_folder, goal, seen):
                    return True
        return False
    return next((f for f in allowed if allowed[f] is not None and reaches(f, f, set())), None)


def violations(root, allowed):
    found = []
    files = {f for folder in allowed for f in (root / folder).rglob("*")
             if f.suffix in SOURCE_SUFFIXES}
    for file in sorted(files):
        relative = file.relative_to(root).as_posix()
        source = owner(relative, allowed)
        if source is None or allowed[source] is None:
            continue
        for included in INCLUDE.findall(file.read_text(encoding="utf-8", errors="replace")):
            target = owner(included, allowed)
            if target is None or target == source or target in allowed[source]:
                continue
            found.append(f"{relative}: includes {included}, but {source} may not use {target}")
    return found


def main(root):
    allowed = read_table(root / "README.md")
    problems = []
    if len(allowed) < 10:
        problems.append(f"README layout table: only {len(allowed)} folders read")
    cycle = find_cycle(allowed)
    if cycle:
        problems.append(f"README layout table: {cycle} reaches itself")
    problems += violations(root, allowed)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1])))
