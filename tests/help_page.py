#!/usr/bin/env python3
"""The help page as its reader uses it, held to the program it describes: every link leads to a
section and every section is linked; it says it is Japanese in UTF-8, and is; the menus, items
and status-bar help it lists are the program's own, word for word; each name it shows as code or
as a key is one the program reads, writes or is called by, or a key of the keyboard.
  tests/help_page.py <project root>"""
import glob
import re
import sys

root = sys.argv[1]
raw = open(f"{root}/res/index.htm", "rb").read()
page = raw.decode("utf-8")
script = open(f"{root}/res/tonarium.rc", encoding="utf-8").read()
problems = []

charset = re.search(r'<meta charset="([^"]*)">', page).group(1)
lang = re.search(r'<html lang="([^"]*)">', page).group(1)
try:
    problems += [] if raw.decode(charset) == page else [f"not in its charset {charset}"]
except LookupError:
    problems.append(f"a charset no browser knows: {charset}")
problems += [] if lang.split("-")[0] == "ja" else [f"not said to be Japanese: lang={lang}"]

ids = set(re.findall(r'\bid="([^"]*)"', page))
links = set(re.findall(r'\bhref="#([^"]*)"', page))
problems += [f"a link to no section: #{name}" for name in sorted(links - ids)]
problems += [f"a section no link leads to: #{name}" for name in sorted(ids - links)]

# The menu texts with their mnemonics as the page underlines them, and each command's help.
commands = dict(re.findall(r'(?:MENUITEM|POPUP) "([^"]*)"(?:, (IDM_\w+))?', script))
helps = dict(re.findall(r'^\s*(IDM_\w+) "([^"]*)"', script, re.M))
shown = {re.sub(r"&(.)", r"<u>\1</u>", text): text for text in commands}
shown.update({re.sub(r"\(&.\)", "", text): text for text in commands})
for item in re.findall(r'<(?:td class="menu"|h3)>([^<]*(?:<u>.</u>[^<]*)?)</', page):
    problems += [] if item in shown else [f"no such menu or item: {item}"]
for item, text in re.findall(r'<td class="menu">([^<]*)</td><td>([^<]*)</td></tr>', page):
    help_text = helps.get(commands.get(shown.get(item)))
    problems += [] if text == help_text else [f"{item}: the status bar says {help_text}"]

# Names: literals of the program, the files it is and makes, and the keys it is driven with;
# a section in brackets, a key with its "=". Note names listed on a line follow the keyboard.
sources = "".join(open(f).read() for d in ("app", "lesson", "media", "util")
                  for f in sorted(glob.glob(f"{root}/{d}/*.cpp")))
literals = list(dict.fromkeys(re.findall(r'"([^"\\\n]+)"', sources)))
program = re.search(r'"OriginalFilename", "([^"]*)"', script).group(1)
notes = [name for name in literals if re.fullmatch(r"[A-G]#?", name)]
known = set(literals) | {program, program.rsplit(".", 1)[0] + ".ini", ".ini"}
known |= {"Alt", "Enter", "Esc", "Tab", "Space", "Shift", "Ctrl"}
for line in page.splitlines():
    names = ["".join(name) for name in
             re.findall(r'<(?:code|kbd)>([^<]*)</|<td class="key"[^>]*>([^<]*)</td>', line)]
    for name in names:
        if re.fullmatch(r"\d+ ～ \d+", name):
            ok = name == f"0 ～ {len(notes) - 1}"
        else:
            ok = re.sub(r"^\[(.+)\]$|^(.+)=$", r"\1\2", name) in known
        problems += [] if ok else [f"no such name: {name!r}"]
    order = [notes.index(name) for name in names if name in notes]
    problems += [] if order == sorted(set(order)) else [f"notes out of order: {names}"]

print("\n".join(f"help page: {problem}" for problem in problems) or "help page: as the program is")
sys.exit(1 if problems else 0)
