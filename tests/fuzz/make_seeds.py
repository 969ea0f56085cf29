#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus (tests/fuzz/corpus): settings records
that switch the features on and events that exercise them, in the format
hooks_fuzzer.cpp reads.  Run it again after changing that format.  The
files named left-down-* and loop-* are not written here: they are inputs
longer fuzzing runs found leaving a button or key down, or looping, kept as
they were found."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Word offsets of the settings record.
FIELDS = dict(captureMode=0, copyWatch=1, cornerAEnabled=3, action29Bypass=5, rightButtonFilter=6,
              wiggleDetect=7, clickWiggle=8, moveWiggle=9, remember=10, edgeWrap=12, edgeWrapEdges=13,
              trackDistance=15, keyboardMouse=16, keyboardMouseKeys=17, keyboardMouseAccel=18,
              keyboardMouseStep=19, typingWatch=21, bindingCount=22, singleClickDesktop=0x2B8 // 4,
              singleClickFolders=0x2BC // 4, singleClickTrees=0x2C0 // 4, vendorWheel=0x2C4 // 4,
              pauseLock=0x2C8 // 4)
KEYS = ['SHIFT', 'CTRL', 'ALT', 'A', 'Z', 'C', 'X', 'NUM0', 'NUM5', 'NUM8', 'DECIMAL', 'ADD',
        'SUBTRACT', 'MULTIPLY', 'INSERT', 'DELETE', 'LEFT', 'UP', 'CLEAR', 'SPACE']


def settings(rows=(), count=None, **fields):
    words = [0] * 179
    for name, value in fields.items():
        words[FIELDS[name]] = value
    for i, (action, trigger, modifiers, parameter) in enumerate(rows):
        base = 0x5C // 4 + 5 * i
        words[base:base + 4] = [action, parameter, trigger, modifiers]
    words[FIELDS['bindingCount']] = len(rows) if count is None else count
    return struct.pack('<179i', *words)


def key(name, up=False):
    return bytes([2, (1 if up else 0), KEYS.index(name)])


def tap(name):
    return key(name) + key(name, True)


def mouse(flag, x=300, y=300, data=0, fast=False):
    flags = ['MOVE', 'LDOWN', 'LUP', 'RDOWN', 'RUP', 'MDOWN', 'MUP', 'WHEEL'].index(flag)
    flags |= (0x40 if flag == 'WHEEL' else 0) | (0x20 if fast else 0)
    return bytes([1, flags]) + struct.pack('<HHh', x, y, data)


def hook_mouse(message, x=300, y=300, extra=0):
    ids = [0x200, 0x201, 0x202, 0x203, 0x204, 0x205, 0x206, 0x207, 0x208, 0x209, 0x20A]
    return bytes([0, ids.index(message), 0xE0]) + struct.pack('<HHBh', x, y, 1, extra)


def getmsg(kind, wparam=0, lparam=0):
    return bytes([4, kind]) + struct.pack('<iiB', wparam, lparam, 0xE0)


def hold(vk):
    return bytes([5, vk])


def quit_then_run():
    return bytes([12, 1])


SEEDS = {
    'held_chords': settings([(31, 2, 0, 0), (25, 4, 0, 0), (34, 0x51, 0, 0), (40, 255, 0, 0), (32, 252, 0, 0)])
    + mouse('RDOWN') + mouse('RUP') + mouse('MDOWN') + mouse('MUP')
    + bytes([2, 0x40, 0x51, 2, 0x41, 0x51]) + mouse('WHEEL', data=120) + mouse('WHEEL', data=-120)
    + mouse('LDOWN') + hold(1) + mouse('LUP'),
    'keyboard_mouse_keypad': settings(keyboardMouse=1, keyboardMouseKeys=0, keyboardMouseStep=10,
                                      keyboardMouseAccel=1)
    + tap('NUM8') + tap('NUM5') + key('NUM0') + tap('NUM8') + tap('DECIMAL') + tap('SUBTRACT') + tap('NUM5')
    + key('MULTIPLY') + tap('ADD') + key('MULTIPLY', True),
    'keyboard_mouse_ctrl': settings(keyboardMouse=1, keyboardMouseKeys=1, keyboardMouseStep=5)
    + key('CTRL') + key('A') + tap('LEFT') + key('CTRL', True) + key('A', True)
    + key('CTRL') + key('Z') + key('CTRL', True) + key('Z', True),
    'capture_quit': settings(captureMode=1, copyWatch=1) + tap('X') + bytes([12, 2]) + key('CTRL') + quit_then_run()
    + tap('C') + key('CTRL', True),
    'binding_counts': settings([(33, 1, 0, 0), (44, 0x51, 0, 0)], count=31) + mouse('LDOWN') + mouse('LUP')
    + bytes([7, 22, 1]) + struct.pack('<i', 0x7FFFFFFF) + mouse('LDOWN') + mouse('LUP')
    + bytes([7, 22, 1]) + struct.pack('<i', -1) + bytes([2, 0x40, 0x51, 2, 0x41, 0x51]),
    'action_codes': settings([(45, 1, 0, 0), (-1, 2, 0, 0), (0x7FFFFFFF, 4, 0, 0), (22, 255, 0, 77)])
    + mouse('LDOWN') + mouse('LUP') + mouse('RDOWN') + mouse('RUP') + mouse('MDOWN') + mouse('MUP')
    + hook_mouse(0x20A, extra=1) + hook_mouse(0x20A, extra=-1),
    'features': settings([(20, 4, 0, 0)], pauseLock=1, typingWatch=1, edgeWrap=1, edgeWrapEdges=15,
                         trackDistance=1, wiggleDetect=1, clickWiggle=3, moveWiggle=3, remember=1,
                         rightButtonFilter=1, singleClickFolders=1, singleClickDesktop=1, vendorWheel=1)
    + mouse('MDOWN') + mouse('MUP') + mouse('MOVE', 0, 10) + mouse('MOVE', 1023, 700) + mouse('LDOWN', 200, 250)
    + mouse('LUP', 200, 250) + tap('SPACE') + mouse('MOVE', 500, 500) + mouse('RDOWN') + mouse('RUP'),
    # A fast click (its release queued before its press is handled) on a
    # left Ctrl-click row with Shift held: the row met its own click again
    # and again, holding the program's input thread.
    'fast_ctrl_click': settings([(25, 1, 1, 0)]) + key('SHIFT') + mouse('LDOWN', 800, 150, fast=True)
    + key('SHIFT', True),
    'message_buttons': settings([(35, 246, 0, 0), (36, 245, 0, 0), (41, 253, 0, 0), (24, 255, 0, 0)])
    + getmsg(0) + getmsg(1) + getmsg(0, lparam=4) + getmsg(1, lparam=4) + getmsg(0x42) + getmsg(0x4A)
    + getmsg(3, wparam=120) + getmsg(4, wparam=120 << 16) + getmsg(5, wparam=-120),
}


def main():
    out = os.path.join(HERE, 'corpus')
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
