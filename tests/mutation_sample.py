#!/usr/bin/python3
"""How many deliberate faults the native suite catches.

  mutation_sample.py COPY [--count N] [--seed S]

Copies the project (as committed) to COPY, builds it (Release), then puts in
N faults drawn at random with seed S, one at a time: a comparison turned
(`<` into `<=` and back, `>` into `>=` and back, `==` into `!=` and back),
`&&` into `||` and back, a number off by one, or a statement left out, in
the library, the platform layer and the console front-end. A fault whose
object file comes out byte for byte as before cannot change behaviour and is
set aside; every other one is built and run against the native suite
(ctest, but for the installed-tree check). Prints each fault with its
outcome and the share caught. Not part of CI: a sample of 60 takes about
half an hour on two cores.
"""
import argparse
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)
FOLDERS = ['src/rom', 'src/platform', 'src/cli']
SKIP_FILES = ('_test.cc', 'platform-win32.cc')

# Comparisons stand between spaces in this code; template brackets do not.
SWAPS = [(r'(?<= )<(?= )', '<='), (r'(?<= )<=(?= )', '<'),
         (r'(?<= )>(?= )', '>='), (r'(?<= )>=(?= )', '>'),
         (r'==', '!='), (r'!=', '=='), (r'&&', '||'), (r'\|\|', '&&')]
NUMBER = re.compile(r'(?<![\w.])(0x[0-9A-Fa-f]+|\d+)[uUlL]*(?![\w.])')
# Statements that do something: an assignment to what is already there, a
# call whose result is not kept, a step of a counter.
ASSIGNMENT = re.compile(r'^[\w.\->\[\]*]+\s*[+\-|&]?=[^=]')
CALL = re.compile(r'^[\w:.\->]+\(.*\);$')


def sites(root):
    """Every place a fault can go: (path, line number, new line)."""
    found = []
    for folder in FOLDERS:
        for name in sorted(os.listdir(os.path.join(root, folder))):
            if not name.endswith('.cc') or name.endswith(SKIP_FILES):
                continue
            path = os.path.join(folder, name)
            lines = open(os.path.join(root, path)).read().split('\n')
            for number, line in enumerate(lines):
                code = line.split('//')[0]
                stripped = code.strip()
                if (not stripped or stripped.startswith(('#', '*', 'template')) or
                        '"' in code or "'" in code):
                    continue
                for pattern, replacement in SWAPS:
                    for match in re.finditer(pattern, code):
                        if '->' in code[match.start() - 1:match.end() + 1]:
                            continue
                        changed = code[:match.start()] + replacement + code[match.end():]
                        found.append((path, number, changed))
                for match in NUMBER.finditer(code):
                    digits = match.group(1)
                    if digits.startswith('0x'):
                        text = hex(int(digits, 16) + 1)
                    elif digits.startswith('0') and len(digits) > 1:
                        text = '0' + oct(int(digits, 8) + 1)[2:]
                    else:
                        text = str(int(digits) + 1)
                    changed = code[:match.start(1)] + text + code[match.end(1):]
                    found.append((path, number, changed))
                previous = lines[number - 1].split('//')[0].strip() if number else ''
                starts_statement = not previous or previous.endswith((';', '{', '}', ':'))
                if stripped.endswith(';') and starts_statement and (ASSIGNMENT.match(stripped) or
                                               CALL.match(stripped) or
                                               stripped.startswith(('++', '--'))):
                    indent = line[:len(line) - len(line.lstrip())]
                    found.append((path, number, indent + ';'))
    return found


def objects(build):
    """Digest of every object file of the build, by path."""
    digests = {}
    for folder, _, names in os.walk(build):
        for name in names:
            if name.endswith('.o'):
                path = os.path.join(folder, name)
                digests[path] = hashlib.sha256(open(path, 'rb').read()).hexdigest()
    return digests


def run(command, cwd, timeout=None):
    return subprocess.run(command, shell=True, cwd=cwd, capture_output=True,
                          text=True, timeout=timeout).returncode


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('copy')
    parser.add_argument('--count', type=int, default=60)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--skip', type=int, default=0,
                        help='go on with the sample after its first SKIP faults')
    args = parser.parse_args()
    copy = os.path.abspath(args.copy)
    build = os.path.join(copy, 'build')
    if not args.skip:
        shutil.rmtree(copy, ignore_errors=True)
        subprocess.run(['git', 'clone', '-q', PROJECT, copy], check=True)
    if run('cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null && '
           'cmake --build build -j2 >/dev/null', copy) != 0:
        sys.exit('the project does not build')
    before = objects(build)
    sample = random.Random(args.seed).sample(sites(copy), args.count)[args.skip:]
    caught = survived = unchanged = broken = 0
    for path, number, changed in sample:
        source = os.path.join(copy, path)
        text = open(source).read()
        lines = text.split('\n')
        original = lines[number]
        lines[number] = changed
        open(source, 'w').write('\n'.join(lines))
        label = f'{path}:{number + 1}: {original.strip()}  ->  {changed.strip()}'
        try:
            if run('cmake --build build -j2 >/dev/null 2>&1', copy) != 0:
                broken += 1
                print(f'does not build  {label}', flush=True)
                continue
            after = objects(build)
            if all(after.get(o) == d for o, d in before.items()):
                unchanged += 1
                print(f'same code       {label}', flush=True)
                continue
            # A fault that makes a loop endless is caught by the time limit
            # on the whole suite, which takes seconds; `timeout` ends every
            # process of the run, and what its mounts left is unmounted.
            status = run('timeout -s KILL 300 ctest -j2 -E install_tree >/dev/null', build)
            run("mount | awk '$3 ~ /^\\/tmp\\/brenvik-/ {print $3}' | xargs -r -n1 umount -l", copy)
            if status != 0:
                caught += 1
                print(f'caught          {label}', flush=True)
            else:
                survived += 1
                print(f'SURVIVED        {label}', flush=True)
        finally:
            open(source, 'w').write(text)
    run('cmake --build build -j2 >/dev/null 2>&1', copy)
    differing = caught + survived
    print(f'{differing} faults compile to different code: {caught} caught, '
          f'{survived} survived ({100 * caught // max(differing, 1)} % caught); '
          f'{unchanged} compile to the same code, {broken} do not build')


if __name__ == '__main__':
    main()
