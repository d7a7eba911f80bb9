#!/usr/bin/env python3
"""Checks that doc/program-cli.1 names the options and exit statuses that
`program-cli --help` names, each status with the same message.

    tools/check_man_page.py PROGRAM_CLI MAN_PAGE
"""
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])--?[a-z][a-z-]*")
HELP_STATUS = re.compile(r"^ +(\d+)  (.+)$", re.MULTILINE)
MAN_STATUS = re.compile(r"^\.TP\n\.B (\d+)\n(.+)$", re.MULTILINE)


def main(program, man_page):
    help_text = subprocess.run([program, "--help"], check=True,
                               capture_output=True, text=True).stdout
    with open(man_page, encoding="utf-8") as file:
        # Roff's minus signs as the plain ones the terminal shows.
        man = file.read().replace("\\-", "-")
    found = {
        "options": (set(OPTION.findall(help_text)), set(OPTION.findall(man))),
        "exit statuses": (dict(HELP_STATUS.findall(help_text)),
                          dict(MAN_STATUS.findall(man))),
    }
    ok = True
    for what, (in_help, in_man) in found.items():
        if in_help != in_man:
            print(f"{what} differ:\n  --help:   {in_help}\n  man page: {in_man}")
            ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
