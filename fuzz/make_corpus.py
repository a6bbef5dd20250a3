#!/usr/bin/env python3
"""Writes the World fuzzer's seed corpus (fuzz/corpus/seed-*.bin) and the regression input
regress-readded-overflowed-body.bin (the other regress-*.bin files are inputs the fuzzer found).

Each seed is a mode byte followed by operations, encoded as WorldFuzzer.cpp decodes them:
an operation byte (its fixed code, its position in WorldFuzzer.cpp's table of operations), then
its operands. Range mode reads a value as two big-endian bytes k (lo + (hi - lo) * k / 65535);
any-float mode reads a selector byte (below 32: a boundary value from WorldFuzzer.cpp's table of
boundaries) or a byte >= 32 followed by the raw little-endian float.
Regenerate with: python3 fuzz/make_corpus.py
"""
import os
import struct

# Operation codes: fixed for good, the positions in WorldFuzzer.cpp's table of operations.
ADD, ADD_AGAIN, REMOVE, STEP, SET_POSITION, RECALL = 0, 1, 2, 3, 4, 5
RAY, SEGMENT, FRUSTUM, SPHERE, SWEEP, FRAME, POISON = 6, 7, 8, 9, 10, 11, 12
TREE_MEMBERSHIP, REMOVE_NODE, REMOVE_RETIRED, CHURN = 13, 14, 15, 16

# Indices into WorldFuzzer.cpp's table of boundary values.
ZERO, ONE, MINUS_ONE, FLT_MAX, MINUS_FLT_MAX, DENORMAL = 0, 2, 3, 4, 5, 8
TENTH, ROOT_RADIUS, MINUS_ROOT_RADIUS, JUST_INSIDE_ROOT = 10, 12, 13, 14
BILLION, HUGE = 21, 24


class Seed:
    def __init__(self, any_float):
        self.any_float = any_float
        self.data = bytearray([1 if any_float else 0])

    def op(self, code):
        self.data.append(code)
        return self

    def byte(self, value):
        self.data.append(value & 0xFF)
        return self

    def value(self, v, lo=0.0, hi=1.0):
        """A range-mode operand, or in any-float mode the raw float v."""
        if self.any_float:
            self.data.append(0x80)
            self.data += struct.pack("<f", v)
        else:
            k = round((min(max(v, lo), hi) - lo) / (hi - lo) * 65535)
            self.data += struct.pack(">H", k)
        return self

    def special(self, index):
        assert self.any_float
        self.data.append(index)
        return self

    def vector(self, v, bound):
        for component in v:
            self.value(component, -bound, bound)
        return self

    def add(self, radius, position, velocity, acceleration, mass):
        self.op(ADD).value(radius, 0, 1049).vector(position, 5000)
        return self.vector(velocity, 500).vector(acceleration, 50).value(mass, 0, 999)

    def add_specials(self, radius, position, velocity, acceleration, mass):
        self.op(ADD).special(radius)
        for group in (position, velocity, acceleration):
            for index in group:
                self.special(index)
        return self.special(mass)

    def step(self, dt):
        return self.op(STEP).value(dt, 0, 1)

    def frame(self, dt=0.1):
        return self.op(FRAME).value(dt, 0, 1)

    def churn(self, radius, position, how):
        """Cycles of a body added, lost and removed: how % 4 + 1 cycles, lost by leaving the
        root (how // 4 % 3 == 0), a negative radius (1) or a NaN position (2, any-float only)."""
        self.op(CHURN).value(radius, 0, 1049).vector(position, 5000)
        return self.byte(how)

    def write(self, name, prefix="seed-"):
        folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
        with open(os.path.join(folder, prefix + name + ".bin"), "wb") as out:
            out.write(self.data)


def program_like(seed, count):
    """Bodies like the program's: whole-number values, acceleration -0.1 x velocity."""
    state = 1
    for _ in range(count):
        values = []
        for _ in range(8):
            state = (state * 214013 + 2531011) % 2**32
            values.append((state >> 16) & 0x7FFF)
        radius = values[0] % 1000 + 50.0
        position = [values[3] % 10000 - 5000.0, values[2] % 10000 - 5000.0,
                    values[1] % 10000 - 5000.0]
        velocity = [values[6] % 1000 - 500.0, values[5] % 1000 - 500.0, values[4] % 1000 - 500.0]
        seed.add(radius, position, velocity, [-0.1 * v for v in velocity], values[7] % 1000)


def main():
    # The program's scene in small: start-up step, frames, pause-like zero steps, recall.
    s = Seed(False)
    program_like(s, 12)
    s.step(0.0)
    for _ in range(30):
        s.frame()
    s.op(RECALL)
    for _ in range(10):
        s.frame()
    s.write("range-scene")

    # Membership: remove a body, one never added, the same twice, add one twice and again.
    s = Seed(False)
    program_like(s, 6)
    s.step(0.0)
    s.op(REMOVE).byte(1).op(REMOVE).byte(200).op(REMOVE).byte(1)
    s.op(ADD_AGAIN).byte(2).op(ADD_AGAIN).byte(1).frame().frame()
    s.op(REMOVE).byte(2).frame().op(REMOVE).byte(2).frame()
    s.write("range-membership")

    # Every query, with a zero-length segment among them.
    s = Seed(False)
    program_like(s, 8)
    s.step(0.0).frame()
    s.op(RAY).vector([0, 0, -20000], 600000).vector([0, 0, 1], 1)
    s.op(SEGMENT).vector([-6000, 0, 0], 600000).byte(0).vector([6000, 0, 0], 600000)
    s.op(SEGMENT).vector([1500, 1334, 3467], 600000).byte(1)
    s.op(FRUSTUM)
    for matrix in range(2):
        for i in range(16):
            s.value(1.0 if i % 5 == 0 else 0.0, -2, 2)
    s.op(SPHERE).vector([0, 0, 0], 600000).value(3000, 0, 600000)
    s.op(SWEEP).byte(0).op(SWEEP).byte(3)
    s.write("range-queries")

    # Bodies overlapping at the origin with zero mass and zero radius, then long steps.
    s = Seed(False)
    for _ in range(4):
        s.add(0, [0, 0, 0], [100, 0, 0], [0, 0, 0], 0)
    s.add(1049, [4999, 4999, 4999], [500, 500, 500], [50, 50, 50], 999)
    s.step(0.0).frame(0.0).frame(1.0)
    for _ in range(40):
        s.frame(1.0)
    s.write("range-degenerate")

    # Extreme finite values: the largest speeds, bodies on the root sphere, dt 0 and 1e9.
    s = Seed(True)
    s.add_specials(ZERO, [ROOT_RADIUS, ZERO, ZERO], [ZERO] * 3, [ZERO] * 3, ZERO)
    s.add_specials(ONE, [JUST_INSIDE_ROOT, ZERO, ZERO], [FLT_MAX, ZERO, ZERO], [ZERO] * 3, ONE)
    s.add_specials(HUGE, [ZERO] * 3, [ZERO] * 3, [ZERO] * 3, MINUS_ONE)
    s.add_specials(ONE, [ZERO] * 3, [MINUS_FLT_MAX, FLT_MAX, ZERO], [FLT_MAX] * 3, DENORMAL)
    s.add_specials(ONE, [ZERO] * 3, [ONE, ZERO, ZERO], [ZERO] * 3, MINUS_ONE)
    s.op(STEP).special(ZERO).op(FRAME).special(TENTH).op(FRAME).special(BILLION)
    s.op(FRAME).special(ZERO).op(FRAME).special(FLT_MAX)
    s.write("any-extremes")

    # Overflowing positions next to ordinary bodies, then queries with extreme arguments.
    s = Seed(True)
    program_like_any = [(100.0, [10.0 * i, 0.0, 0.0], [1.0, 0.0, 0.0]) for i in range(5)]
    for radius, position, velocity in program_like_any:
        s.op(ADD).value(radius)
        for v in position + velocity + [0.0, 0.0, 0.0]:
            s.value(v)
        s.value(1.0)
    s.op(ADD).value(1.0).value(3e38).value(0.0).value(0.0)
    s.value(3e38).value(0.0).value(0.0).value(3e38).value(0.0).value(0.0).value(1.0)
    s.op(STEP).special(ZERO).op(FRAME).special(ONE).op(FRAME).special(ONE)
    s.op(SET_POSITION).byte(0).byte(0).value(1e30).value(-1e30).value(0.0)
    s.op(FRAME).special(TENTH)
    s.op(RAY).special(ZERO).special(ZERO).special(ZERO).special(ZERO).special(ZERO).special(ZERO)
    s.op(SEGMENT).special(FLT_MAX).special(ZERO).special(ZERO).byte(0)
    s.special(MINUS_FLT_MAX).special(ZERO).special(ZERO)
    s.op(SPHERE).special(ZERO).special(ZERO).special(ZERO).special(FLT_MAX)
    s.op(FRUSTUM)
    for i in range(32):
        s.special(FLT_MAX if i % 3 == 0 else ZERO)
    s.op(SWEEP).byte(5).op(RECALL).op(FRAME).special(MINUS_ROOT_RADIUS)
    s.write("any-overflow")

    # NaN and infinite values given directly to bodies that share nodes with finite ones.
    s = Seed(True)
    for i in range(6):
        s.op(ADD).value(50.0)
        for v in [100.0 * i, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0]:
            s.value(v)
        s.value(1.0)
    s.op(STEP).special(ZERO)
    s.op(POISON).byte(0).byte(0)        # position x NaN
    s.op(POISON).byte(1).byte(9 + 4)    # velocity y +inf
    s.op(POISON).byte(2).byte(18 + 8)   # acceleration z -inf
    s.op(SWEEP).byte(0).op(SWEEP).byte(3)
    s.op(FRAME).special(TENTH).op(FRAME).special(TENTH)
    s.op(ADD_AGAIN).byte(0).op(SET_POSITION).byte(0).byte(1).op(FRAME).special(ZERO)
    s.op(SET_POSITION).byte(0).byte(1).op(FRAME).special(TENTH)
    s.op(POISON).byte(4).byte(0).op(REMOVE).byte(4).op(FRAME).special(ONE)
    s.write("any-poison")

    # Bodies that come and go: lost through the root or by a negative radius, one to four
    # cycles each, beside the program's bodies.
    s = Seed(False)
    program_like(s, 6)
    s.step(0.0)
    for how, x in [(0, 0), (1, 100), (3, -2000), (4, 0), (5, 300), (7, 4000), (8, 0)]:
        s.churn(60.0, [x, 0, 0], how)
        s.frame()
    s.write("range-churn")

    # Leaves the update no longer refreshes: two escape (still attached) and one is stranded by
    # a NaN; removeNode on retired leaves, the tree's remove and the World's free the rest.
    s = Seed(True)
    for i in range(5):
        s.op(ADD).value(50.0)
        for v in [100.0 * i, 0.0, 0.0] + [0.0] * 6:
            s.value(v)
        s.value(1.0)
    s.op(STEP).special(ZERO)
    s.op(SET_POSITION).byte(1).byte(0).value(1e6).value(0.0).value(0.0)
    s.op(SET_POSITION).byte(2).byte(0).value(-1e6).value(0.0).value(0.0)
    s.op(POISON).byte(3).byte(0)          # position x NaN
    s.op(STEP).special(TENTH)             # retired: the two escaped, then the stranded one
    s.op(REMOVE_RETIRED).byte(2).op(REMOVE_RETIRED).byte(0)
    s.op(TREE_MEMBERSHIP).byte(0).byte(2)  # the tree's own remove of the other escaped body
    s.op(ADD_AGAIN).byte(1).op(FRAME).special(TENTH).op(REMOVE).byte(1)
    s.churn(1.0, [0, 0, 0], 8).churn(1.0, [0, 0, 0], 4).churn(1.0, [0, 0, 0], 1)
    s.op(FRAME).special(TENTH)
    s.write("any-retired")

    # A body that died of an overflow added to the World again: its new waiting leaf must not
    # copy the infinite position (the checker runs right after the second add).
    s = Seed(True)
    s.add_specials(ONE, [ZERO] * 3, [ZERO] * 3, [ZERO] * 3, ONE)
    s.add_specials(ONE, [ZERO] * 3, [FLT_MAX, ZERO, ZERO], [ZERO] * 3, ONE)
    s.op(STEP).special(ZERO).op(STEP).special(BILLION)
    s.op(ADD_AGAIN).byte(1).frame().op(ADD_AGAIN).byte(1).frame()
    s.write("readded-overflowed-body", prefix="regress-")


if __name__ == "__main__":
    main()
