#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (corpus/<target>/seed-*): real-looking
adb, shell and logcat output, progress counters, batch texts, settings texts
from the edge cases of their forms. The targets read their inputs with
libFuzzer's FuzzedDataProvider: numbers are taken from the end of the input,
texts from the front (a backslash followed by another byte ends a text; two
backslashes are one). Inputs that the fuzzers find are kept beside the seeds
under other names; this script touches only seed-* files."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def text(s):
    """A text field read from the front, ended by backslash and newline."""
    if isinstance(s, str):
        s = s.encode('latin-1')
    return s.replace(b'\\', b'\\\\') + b'\\\n'


def i32(v):
    """An int read from the end (little-endian, offset by INT_MIN)."""
    return struct.pack('<I', (v + 2**31) & 0xFFFFFFFF)


def pick(v, lo, hi):
    """A small ranged number read from the end: one byte."""
    return bytes([(v - lo) % 256])


def write(target, seeds):
    d = os.path.join(HERE, 'corpus', target)
    os.makedirs(d, exist_ok=True)
    for name in os.listdir(d):
        if name.startswith('seed-'):
            os.remove(os.path.join(d, name))
    for name, data in seeds.items():
        with open(os.path.join(d, 'seed-' + name), 'wb') as f:
            f.write(data)


ADB_OUTPUT = {
    'devices': b'List of devices attached\r\nemulator-5554\tdevice\r\n0123456789ABCDEF\tunauthorized\r\n\r\n',
    'version': b'Android Debug Bridge version 1.0.41\r\nVersion 34.0.5-10900879\r\nInstalled as C:\\adb\\adb.exe\r\n',
    'logcat': (b'--------- beginning of main\n'
               b'01-05 10:12:01.123  1234  1250 I ActivityManager: Start proc 4321:com.example/u0a77\n'
               b'01-05 10:12:01.456  4321  4321 E AndroidRuntime: FATAL EXCEPTION: main\n'
               b'01-05 10:12:01.457  4321  4321 W System.err: \tat com.example.Main.run(Main.java:42)\n'),
    'progress': b'[  5%] /sdcard/big.bin\r[ 50%] /sdcard/big.bin\r[100%] /sdcard/big.bin\r\n',
    'push': b'/sdcard/app.apk: 1 file pushed, 0 skipped. 27.3 MB/s (5242880 bytes in 0.183s)\r\n',
    'breaks': b'a\r\r\r\r\nb\r\r\nc\n\rd\r',
    'install': b'Performing Streamed Install\r\nSuccess\r\n',
    'shell-utf8': 'ls: /data: Permission denied\nCaf\u00e9  M\u00fcller  \u2500\u2500\u2502 \u043f\u0440\u0438\u0432\u0435\u0442 \U0001F600\n'.encode('utf-8'),
    'cut-utf8': b'hel\xe2\x94',
    'nul-inside': b'before\x00after\r\n',
}


def utf8_conv():
    return {
        'shell-ls-latin': 'drwxr-xr-x  2 root root 4096 2024-01-05 10:12 Caf\u00e9 M\u00fcller\n'.encode('utf-8'),
        'box-drawing': '\u2500\u2500 \u2502 box \u250c\u2510\r\n'.encode('utf-8'),
        'four-byte': 'emoji \U0001F600 end\n'.encode('utf-8'),
        'overlong': b'\xc0\xaf \xc1\xbf \xe0\x80\xaf overlong\n',
        'cut-three': b'cut \xe2\x94',
        'invalid-bytes': b'\x80 lone continuation \xbf\xff\xfe',
        'bom-cyrillic': '\ufeffBOM then text \u043f\u0440\u0438\u0432\u0435\u0442\n'.encode('utf-8'),
        'ascii': ADB_OUTPUT['devices'],
        'oem-bytes': b'\x82\x84\x94\x81\xc4\xb3\xdb\xe1\xfe',
    }


def settings_text():
    seeds = {}
    tail = lambda kind, a=0, b=0, start=0: i32(start) + i32(b) + i32(a) + pick(kind, 0, 4)
    for i, t in enumerate(['4', '0x40', '40h', '1fh', '65', '0', '-1', ' 4', '4 ', 'ffh', '0x', '0X10', '',
                           '99999999999', '0x7fffffff', '0x0x10']):
        seeds['int-%02d' % i] = text(t) + tail(0, 1, 64, 4)
    for i, t in enumerate(['max', 'MAXIMISED', '10,20', '10,20,800,600', '10,20,800', '10 ,20',
                           '-5, +6', '1,2,3,4,5', '2147483648,1']):
        seeds['placement-%02d' % i] = text(t) + tail(1)
    for i, t in enumerate(['Courier,10,B', 'Lucida_Console,12,IB', 'Arial,9', 'Courier New,10', 'Arial,9,BB',
                           'Arial,9,b', 'Arial,9,BIB', ',10', 'A' * 30 + ',8,I', 'Arial,99999999999,B']):
        seeds['font-%02d' % i] = text(t) + tail(2)
    for i, t in enumerate(['(255,0,0)', '(128,255,255)', '(256,0,0)', '(1,2)', ' (1,2,3)', '( 1, 2, 3)',
                           '(1,2,3', '(-0,+0,0)garbage']):
        seeds['color-%02d' % i] = text(t) + tail(3)
    for i, t in enumerate(['C:\\tools', 'C:\\tools\\', '$\\adb', '', 'adb dir with spaces']):
        seeds['path-%02d' % i] = text(t) + tail(4)
    return seeds


def settings_records():
    seeds = {}
    # Records: per record the text from the front; from the end m_line, a
    # number and the kind of record.
    def record(line, n, kind, t):
        return text(t), pick(kind, 0, 3) + i32(n) + i32(line)
    for name, recs in {
        'records-short': [(7, 1, 0, 'Unknown setting'), (12, -5, 1, 'Buffer'), (123, 255, 2, 'x=1')],
        'records-long': [(1, 42, 3, 'y' * 5000), (99999, 0, 0, 'z' * 4100)],
        'records-percent': [(-3, 37, 0, '100% done %s %d'), (0, 10, 2, '')],
    }.items():
        front, back = b'', b''
        for r in recs:
            f, b = record(*r)
            front += f
            back = b + back
        seeds[name] = front + back + b'\x00'
    # Lists: ops from the end, the first byte read says "lists".
    for name, ops in {
        'lists-page': [(0, 8), (0, 1), (0, 3), (4, 1023), (2, 3), (3, None), (0, 8), (0, 5), (1, None), (0, 2)],
        'lists-owner': [(2, 5), (2, 40), (3, None), (2, 2)],
    }.items():
        back = b''
        for op, arg in ops:
            # Read from the end: the kind of step first, then its numbers.
            if op == 0:
                chunk = pick(min(arg, 8), 0, 8)
            elif op == 2:
                chunk = b'\x00' * arg + pick(arg, 0, 40)
            elif op == 4:
                chunk = i32(arg)
            else:
                chunk = b''
            back = chunk + pick(op, 0, 4) + back
        seeds[name] = back + b'\x01'
    return seeds


def history():
    seeds = {}
    def run(cap, steps):
        front, back = b'', b''
        for op, t in steps:
            if t is not None:
                front += text(t)
            back = pick(op, 0, 7) + back
        return front + back + pick(cap, 1, 40)
    seeds['walk'] = run(16, [(0, 'devices'), (0, 'version'), (3, None), (3, None), (3, None), (2, None),
                             (2, None), (2, None)])
    seeds['dedupe'] = run(16, [(0, 'devices'), (0, 'Devices'), (0, 'DEVICES'), (5, None), (2, None)])
    seeds['full'] = run(3, [(0, 'a'), (0, 'b'), (0, 'c'), (0, 'B'), (0, 'd'), (2, None), (4, None)])
    seeds['latin'] = run(4, [(0, 'Caf\xc9'), (0, 'caf\xe9'), (0, '\x8a\x9a'), (0, '\x9f\xff'), (3, None)])
    seeds['empty-lines'] = run(16, [(0, ''), (0, ''), (0, 'shell'), (6, None), (2, None)])
    return seeds


def batch_text():
    seeds = {}
    tail = lambda stop=-1, nest=-1, restart=0: bytes([restart]) + pick(nest, -1, 8) + pick(stop, -1, 8)
    batches = {
        'crlf': 'devices\r\n\r\n  version  \r\n',
        'lf': 'shell pm list packages\nlogcat -d\n',
        'lone-cr': 'devices\rversion\r',
        'blanks': ' \t\r\n\x0b\x0c\r\n   \n',
        'many': ''.join('push file%d.txt /sdcard/\r\n' % i for i in range(20)),
        'no-break': 'install app.apk',
        'latin': 'push Caf\xe9.txt /sdcard/\r\n\xa0 pull \xa0\r\n',
        'nul': 'devices\r\nver\x00sion\r\n',
    }
    for name, t in batches.items():
        seeds[name] = t.encode('latin-1') + tail()
    seeds['stop'] = batches['many'].encode('latin-1') + tail(stop=2)
    seeds['nest'] = batches['many'].encode('latin-1') + tail(nest=1)
    seeds['restart'] = batches['crlf'].encode('latin-1') + tail(restart=1)
    return seeds


def output_decoder():
    seeds = {}
    for name, chunk in ADB_OUTPUT.items():
        utf8 = name.endswith('utf8')
        seeds[name] = chunk + pick(-1, -1, 6) + bytes([1 if utf8 else 0])
    seeds['abort'] = ADB_OUTPUT['logcat'] + pick(2, -1, 6) + b'\x00'
    seeds['two-empty'] = b'\n\r' + pick(-1, -1, 6) + b'\x00'
    return seeds


def finder():
    seeds = {}
    def run(size, steps):
        front, back = b'', b''
        for step in steps:
            op = step[0]
            if op in (0, 1):
                front += text(step[1])
                back = bytes([1 if step[2] else 0]) + pick(op, 0, 7) + back
            elif op == 2:
                front += text(step[1])
                back = pick(op, 0, 7) + back
            elif op in (3, 4):
                back = bytes([1 if step[1] else 0]) + pick(op, 0, 7) + back
            elif op == 5:
                back = pick(step[1], 0, 40) + pick(op, 0, 7) + back
            elif op == 6:
                back = pick(op, 0, 7) + back
            else:
                front += text(step[1])
                back = struct.pack('<B', step[2] + 3) + pick(op, 0, 7) + back
        return front + back + struct.pack('<H', size - 1)
    lines = [(0, 'Abc', False), (0, 'xabcx', False), (2, 'ABC')]
    seeds['wrap'] = run(600, lines + [(3, True)] * 4 + [(3, False)] * 3)
    seeds['mark'] = run(600, [(0, 'abc %d' % i, False) for i in range(4)] + [(2, 'abc'), (5, 1), (5, 2)]
                        + [(3, True)] * 3 + [(3, False)] * 3)
    seeds['drop'] = run(24, [(0, 'adb devices', False), (2, 'DEV'), (3, True), (0, 'List of devices', False),
                             (0, 'emulator-5554 device', False), (3, True), (3, False)])
    seeds['latin'] = run(300, [(0, 'Caf\xc9 \x8a\x9f', False), (0, '\x08\x08\xe9', True), (2, 'caf\xe9'),
                               (3, True), (2, '\x9a\xff'), (3, False)])
    seeds['word'] = run(100, [(7, 'adb devices', 1), (7, 'x=1', 0), (7, 'dir C:\\tools', 5), (7, '', 0)])
    seeds['clear'] = run(100, [(0, 'abcabc', False), (2, 'bca'), (3, True), (6,), (3, True), (3, False)])
    return seeds


def line_store():
    seeds = {}
    def run(size, steps):
        front, back = b'', b''
        for step in steps:
            op = step[0]
            chunk = pick(op, 0, 11)
            if op <= 3:
                _, t, code, cont = step
                chunk += bytes([1 if code is not None else 0])
                if code is not None:
                    chunk += i32(code)[::-1]
                chunk += bytes([1 if cont else 0])
                front += text(t)
            elif op == 4:
                _, a, b, line, col = step
                chunk += pick(a, -1, 40) + pick(b, -1, 40) + pick(line, -1, 40)
                if line >= 0:
                    chunk += pick(col, 0, 60)
            elif op == 5:
                _, t, cont = step
                chunk += bytes([1 if cont else 0])
                front += text(t)
            elif op in (6, 7, 8):
                chunk += struct.pack('>H', (step[1] + 2) % 65536) if op != 7 else pick(step[1], -1, 40)
            back = back + chunk
        return front + back[::-1] + struct.pack('<H', (size + 1) % 302)
    echo = lambda cmd: (0, cmd, 3, False)
    out = lambda t, cont=False: (0, t, 0, cont)
    seeds['session'] = run(200, [echo('adb devices'), out('List of devices attached'), out('emulator-5554\tdevice'),
                                 out(''), (0, '#1 ExitCode: 0', 2, False), (10,), echo('adb version'),
                                 out('Android Debug Bridge version 1.0.41'), (10,)])
    seeds['progress'] = run(60, [out('[  5%] /sdcard/big.bin'), out('\r'), (0, '[ 50%]', 0, True),
                                 out('50%\x08\x08\x0860%', True), (10,), (4, 0, 1, 1, 3), out('x' * 30), (10,)])
    seeds['backspace'] = run(10, [out('ab'), out('\x08\x08x'), out('a'), out('b\x08c'), (10,), out('abcdefgh'),
                                  (10,)])
    seeds['drops'] = run(24, [(4, 2, 5, 3, 1)] + [out('line %d' % i) for i in range(12)] + [(10,)])
    seeds['store-ops'] = run(100, [(5, 'abc', False), (5, 'def', True), (6, 90), (7, 0), (8, 40), (8, 300),
                                   (9,), (5, '', False), (10,)])
    seeds['codes'] = run(100, [(0, '\x01Abort command', None, True), (0, '\xc8plain', 2, False),
                               (0, '\x03', 0, True), (0, 'x', 0, True), (0, '', 2, False), (10,)])
    return seeds


def output_split():
    seeds = {}
    for name, chunk in ADB_OUTPUT.items():
        utf8 = name.endswith('utf8')
        cuts = [3, 7, 20, 21, 40]
        back = b''.join(struct.pack('<H', c) for c in reversed(cuts)) + pick(len(cuts), 0, 8)
        seeds[name] = chunk + back + bytes([1 if utf8 else 0])
    return seeds


def device_list():
    # No cuts and no framed lists: the rest is the stream as it comes.
    tail = bytes([0, 0])
    emu = (b'emulator-5554          device product:sdk_gphone64_x86_64 model:sdk_gphone64_x86_64 '
           b'device:emu64xa transport_id:1\n')
    phone = b'R58M123ABC             unauthorized usb:1-1 transport_id:3\n'
    frame = lambda t: b'%04x' % len(t) + t
    return {
        'two': frame(emu + phone) + tail,
        'changes': frame(emu) + frame(emu + phone) + b'0000' + tail,
        'daemon-note': b'* daemon not running; starting now at tcp:5037\n' + frame(emu) + tail,
        'cut-short': frame(emu)[:-9] + tail,
        'garbage': b'zz\x01\xff\n0005abcdefgh\n' + frame(phone) + tail,
    }


GENERATORS = [utf8_conv, settings_text, settings_records, history, batch_text, output_decoder, finder, line_store,
              output_split, device_list]

if __name__ == '__main__':
    import sys
    wanted = set(sys.argv[1:])
    for gen in GENERATORS:
        if not wanted or gen.__name__ in wanted:
            write(gen.__name__, gen())
