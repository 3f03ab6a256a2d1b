#!/usr/bin/env python3
"""Peak memory of vtkit's XML commands against parsing alone.

For each document, runs xml_parse_only (parse and free, nothing else) and the
vtkit commands `xml fmt`, `xml find`, `xml tokens --xml` and `xml tokens`, each
as a process of its own under max_rss (standard output on /dev/null), and
reports the median of each one's peak resident set size and its ratio to the
parse-only run. Documents: a Debian XML file as it is,
and generated shapes at 1 MB and 50 MB (the target size).

usage: vtkit_memory.py BIN_DIR   (VT_MEMORY_REPETITIONS, default 3, runs per figure)
"""
import os
import statistics
import subprocess
import sys
import tempfile

TARGET_RATIO = 4.0
LARGE = 50 * 1000 * 1000


def records(i):
    return ('<record id="%d" kind="order"><name>item %d</name><price>%d.50</price>'
            '<note>shipped on time</note></record>\n' % (i, i, i % 997))


def empties(i):
    return '<a/>'


def attributes(i):
    return '<e %s/>\n' % ' '.join('a%d="value %d"' % (k, i + k) for k in range(8))


def texts(i):
    return '<p>' + ('lorem ipsum dolor sit amet ' * 300) + '</p>\n'


def nested(i):
    return '<n>' * 64 + 'leaf %d' % i + '</n>' * 64 + '\n'


# shape name, item generator, root name, the NAME given to `find`
SHAPES = [('records', records, 'records', 'name'), ('empty elements', empties, 'r', 'a'),
          ('8 attributes', attributes, 'r', 'e'), ('long texts', texts, 'r', 'p'),
          ('nested 64 deep', nested, 'r', 'n')]

# The largest of Debian's XML files that the lenient reader accepts.
REAL = [('/usr/share/X11/xkb/rules/base.xml', 'layout')]


def generate(directory, name, item, root, size):
    path = os.path.join(directory, '%s-%d.xml' % (name.replace(' ', '_'), size))
    with open(path, 'w') as out:
        out.write('<%s>\n' % root)
        written, i = 0, 0
        while written < size:
            text = item(i)
            out.write(text)
            written += len(text)
            i += 1
        out.write('</%s>\n' % root)
    return path


def peak_kib(max_rss, command):
    run = subprocess.run([max_rss] + command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if run.returncode != 0:
        sys.exit('%s failed (status %d): %s' % (' '.join(command), run.returncode,
                                                 run.stderr.decode(errors='replace').strip()))
    return int(run.stdout)


def median_peak(max_rss, command, repetitions):
    return statistics.median(peak_kib(max_rss, command) for _ in range(repetitions))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    bin_dir = sys.argv[1]
    repetitions = int(os.environ.get('VT_MEMORY_REPETITIONS', '3'))
    vtkit = os.path.join(bin_dir, 'vtkit')
    parse_only = os.path.join(bin_dir, 'xml_parse_only')
    max_rss = os.path.join(bin_dir, 'max_rss')
    with tempfile.TemporaryDirectory(prefix='vtkit-memory-') as directory:
        documents = [(os.path.basename(path), path, name) for path, name in REAL
                     if os.path.exists(path)]
        for size in (1000 * 1000, LARGE):
            for shape, item, root, name in SHAPES:
                documents.append(('%s, %d MB' % (shape, size // 1000000),
                                  generate(directory, shape, item, root, size), name))
        commands = [('fmt', ['xml', 'fmt']), ('find', ['xml', 'find', None]),
                    ('tokens --xml', ['xml', 'tokens', '--xml']), ('tokens', ['xml', 'tokens'])]
        print('vtkit peak memory (max RSS, MiB; median of %d) against parsing alone' % repetitions)
        header = '%-34s %9s' % ('document', 'parse')
        for label, _ in commands:
            header += ' %20s' % label
        print(header)
        worst = {}
        for label, path, name in documents:
            base = median_peak(max_rss, [parse_only, path], repetitions)
            row = '%-34s %9.1f' % (label, base / 1024)
            for command_label, words in commands:
                arguments = [w if w is not None else name for w in words]
                arguments.insert(2, path)
                peak = median_peak(max_rss, [vtkit] + arguments, repetitions)
                ratio = peak / base
                row += ' %11.1f (%4.2fx)' % (peak / 1024, ratio)
                if path.endswith('-%d.xml' % LARGE):
                    worst[command_label] = max(worst.get(command_label, 0), ratio)
            print(row, flush=True)
        verdict = all(ratio <= TARGET_RATIO for ratio in worst.values())
        print('largest ratio on the 50 MB documents: %s; target at most %.0fx: %s' % (
            ', '.join('%s %.2fx' % item for item in worst.items()), TARGET_RATIO,
            'met' if verdict else 'NOT MET'))


if __name__ == '__main__':
    main()
