#!/usr/bin/env python3
"""Mutation check: plants each fault of faults.py in a scratch copy of the sources, builds only
the test program that should notice it, runs the tests named for it and expects a failure.

    tests/mutation/mutation_check.py [--build native|win64] [--work DIR] [ID_OR_AREA ...]

The scratch copy and its build live in DIR (default build/mutation-<build> in the worktree) and
are kept between runs, so a rerun compiles only what a fault touches.  Prints the table
fault -> test and exits non-zero when a fault survives or does not apply any more (its text is
no longer in the file, or the planted text does not build: the fault list needs updating).  A fault whose tests
are not built for the target is listed as not run: on the Windows build those that need the
stand-in's failure injection, natively the user interface's, which run under Wine only.
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from faults import FAULTS, NATIVE_ONLY  # noqa: E402

SKIP = {'.git', 'build'}


def sync_sources(dst):
    """Copies the worktree's sources into dst, touching only files that differ."""
    for root, dirs, files in os.walk(TOP):
        rel = os.path.relpath(root, TOP)
        dirs[:] = [d for d in dirs if not (rel == '.' and d in SKIP)]
        out = os.path.join(dst, rel)
        os.makedirs(out, exist_ok=True)
        for f in files:
            s, d = os.path.join(root, f), os.path.join(out, f)
            with open(s, 'rb') as a:
                data = a.read()
            if os.path.exists(d):
                with open(d, 'rb') as b:
                    if b.read() == data:
                        continue
            with open(d, 'wb') as b:
                b.write(data)
            shutil.copymode(s, d)


def configure(src, build, kind):
    if os.path.exists(os.path.join(build, 'CMakeCache.txt')):
        return True
    args = ['cmake', '-S', src, '-B', build]
    if kind == 'native':
        args.append('-DMEDLEY_SANITIZE=ON')
    else:
        args.append('-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-w64-x86_64.cmake' % src)
    return subprocess.run(args, stdout=subprocess.DEVNULL).returncode == 0


def emulator(build):
    with open(os.path.join(build, 'CMakeCache.txt')) as f:
        for line in f:
            if line.startswith('CMAKE_CROSSCOMPILING_EMULATOR'):
                return [v for v in line.split('=', 1)[1].strip().split(';') if v]
    # The toolchain file names the emulator without putting it in the cache.
    return [os.path.join(SRC, 'cmake', 'wine-run.sh')]


def run_test(build, kind, target, gtest_filter):
    exe = os.path.join(build, 'bin', target + ('.exe' if kind == 'win64' else ''))
    script = gtest_filter.endswith('.sh')  # a script that runs the program whole, as CTest does
    env = dict(os.environ, MEDLEY_SOURCE_DIR=SRC, MEDLEY_BIN_DIR=os.path.join(build, 'bin'),
               MEDLEY_GTEST='' if script else '1')
    env.setdefault('ASAN_OPTIONS', 'detect_leaks=1:abort_on_error=1')
    env.setdefault('UBSAN_OPTIONS', 'print_stacktrace=1:halt_on_error=1')
    if kind == 'win64':
        env.setdefault('WINEPREFIX', os.path.join(TOP, 'build', 'wineprefix'))
    wine = emulator(build) if kind == 'win64' else []
    cmd = wine + [exe, '--gtest_filter=' + gtest_filter]
    if script:
        cmd = ['sh', os.path.join(SRC, 'tests', gtest_filter)] + wine + [exe]
    # Its own process group, so that a hang is ended whole: under Wine the program is a child of
    # the emulator's script, and killing the script alone leaves it spinning.
    p = subprocess.Popen(cmd, env=env, cwd=os.path.join(build, 'bin'), stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, start_new_session=True)
    try:
        out, _ = p.communicate(timeout=600)
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.communicate()
        return 'caught', 'hangs (no end in 600 s, as CTest would time it out)'
    r = subprocess.CompletedProcess(cmd, p.returncode, out)
    text = r.stdout.decode('utf-8', 'replace')
    failed = [l.split('] ', 1)[1].split(' (')[0] for l in text.splitlines()
              if l.startswith('[  FAILED  ]') and ' (' in l]
    ran = re.search(r'^\[==========\] (\d+) tests? from', text, re.M)
    if r.returncode == 0 and ran and ran.group(1) == '0':  # the UI's natively, native-only on Windows
        return 'not here', 'its tests are not built for this target'
    if r.returncode == 0:
        return 'survived', ''
    return 'caught', ', '.join(sorted(set(failed))) or 'exit %d' % r.returncode


def main():
    global SRC
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument('--build', choices=['native', 'win64'], default='native')
    p.add_argument('--work')
    p.add_argument('--jobs', default='2')
    p.add_argument('only', nargs='*', help='fault ids or areas to run (all when none)')
    a = p.parse_args()
    work = a.work or os.path.join(TOP, 'build', 'mutation-' + a.build)
    SRC = os.path.join(work, 'src')
    build = os.path.join(work, 'build')
    faults = [f for f in FAULTS if not a.only or f['id'] in a.only or f['area'] in a.only]
    sync_sources(SRC)
    if not configure(SRC, build, a.build):
        print('configure failed', file=sys.stderr)
        return 2
    rows, bad, absent = [], 0, 0
    for f in faults:
        path = os.path.join(SRC, f['file'])
        with open(path) as fh:
            pristine = fh.read()
        if pristine.count(f['find']) != 1:
            rows.append((f, 'stale', 'the text to change is %s' %
                         ('missing' if pristine.count(f['find']) == 0 else 'not unique')))
            bad += 1
            continue
        t0 = time.time()
        native = NATIVE_ONLY.get(f['id'], NATIVE_ONLY.get(f['tests']))
        if a.build == 'win64' and (f['file'].startswith('compat/') or native):
            rows.append((f, 'not here', native or 'compat/ stands in for Windows on Linux only'))
            absent += 1
            continue
        try:
            with open(path, 'w') as fh:
                fh.write(pristine.replace(f['find'], f['plant']))
            b = subprocess.run(['cmake', '--build', build, '--target', f['target'], '-j', a.jobs],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if b.returncode != 0:  # a plant that does not build proves nothing: mend its text
                verdict, by = 'broken', 'the planted text does not build'
            else:
                verdict, by = run_test(build, a.build, f['target'], f['tests'])
        finally:
            with open(path, 'w') as fh:
                fh.write(pristine)
        if verdict == 'not here':
            absent += 1
        elif verdict != 'caught':
            bad += 1
        rows.append((f, verdict, by))
        print('%-28s %-9s %s  (%.0f s)' % (f['id'], verdict, by, time.time() - t0), flush=True)
    # Leave the programs built from pristine sources for the next run.
    for t in sorted({f['target'] for f in faults}):
        subprocess.run(['cmake', '--build', build, '--target', t, '-j', a.jobs], stdout=subprocess.DEVNULL)
    print()
    print('| fault | what it plants | verdict | caught by |')
    print('|---|---|---|---|')
    for f, verdict, by in rows:
        print('| %s | %s | %s | %s |' % (f['id'], f['what'], verdict, by))
    print('\n%d of %d faults caught (%s build)%s' % (len(rows) - bad - absent, len(rows) - absent, a.build,
                                                   '; %d not run: their tests are not built here' % absent if absent else ''))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
