#!/usr/bin/env python3
"""Writes src/host/case_tables.cpp: the wide-character case tables.

Two families of tables are written, both looked up in two levels (a meta
entry per block of 128 code points below 0x10000, then one delta per
character of a covered block):

  * the down and up tables (skz_metatable, skz_downshift, skz_upshift and
    the aux lists) cover a fixed set of 19 blocks with 8-bit deltas. They
    keep the character repertoire of the kernel library's long-standing
    case mapping: characters of Unicode 3.2, Georgian capitals shifted down
    onto the Mkhedruli letters with no way back, U+040D left alone, and far
    mappings only where the aux lists carry them. The up table is the
    inverse of the down table, plus long s to S.
  * the min and max maps (32-bit deltas, no aux list) take every character
    of a one-to-one case pair to the smaller or the larger member, over the
    whole of the Unicode data that this Python carries.

Usage: tools/gen_case_tables.py [OUTPUT]   (default src/host/case_tables.cpp)
"""

import os
import sys
import unicodedata

OLD_REPERTOIRE = unicodedata.ucd_3_2_0

# Blocks (start code points) that the down and up tables cover.
DOWN_UP_BLOCKS = [0x0000, 0x0080, 0x0100, 0x0180, 0x0200, 0x0280, 0x0380,
                  0x0400, 0x0480, 0x0500, 0x0580, 0x1080, 0x1E00, 0x1E80,
                  0x1F00, 0x1F80, 0x2100, 0x2480, 0xFF00]

# Far mappings of the down table, reached through its aux list (in order).
DOWN_AUX = [(0x181, 0x253), (0x186, 0x254), (0x18A, 0x257), (0x18E, 0x258),
            (0x18F, 0x259), (0x190, 0x25B), (0x193, 0x260), (0x194, 0x263),
            (0x196, 0x269), (0x197, 0x268), (0x19C, 0x26F), (0x19D, 0x272),
            (0x1A9, 0x283), (0x1AE, 0x288), (0x1B1, 0x28A), (0x1B2, 0x28B),
            (0x1B7, 0x292), (0x1FF8, 0x1F78), (0x1FF9, 0x1F79)]
UP_AUX = [(0x17F, 0x53)] + [(to, frm) for frm, to in DOWN_AUX]

AUX_DELTA = -128


def simple_lower(c):
    low = chr(c).lower()
    if len(low) == 1:
        return ord(low)
    assert c == 0x130, hex(c)  # only dotted capital I lowers to two characters
    return 0x69


def simple_upper(c):
    # The full mapping where it is one character; otherwise the titlecase
    # form, which is the simple uppercase of the iota-subscript letters.
    up = chr(c).upper()
    if len(up) == 1:
        return ord(up)
    title = chr(c).title()
    return ord(title) if len(title) == 1 else c


def in_old_repertoire(c):
    return OLD_REPERTOIRE.category(chr(c)) != "Cn"


def down_mapping():
    """Character -> lower-case character for the down table."""
    covered = set(DOWN_UP_BLOCKS)
    aux = dict(DOWN_AUX)
    result = {}
    for c in range(0x10000):
        if (c & ~127) not in covered or not in_old_repertoire(c):
            continue
        t = simple_lower(c)
        if t == c or not in_old_repertoire(t) or c == 0x40D:
            continue
        if 0x10A0 <= c <= 0x10C5:
            continue  # set below
        if -127 <= t - c <= 127:
            result[c] = t
    # The aux pairs are the kernel library's own far mappings; they win over
    # the data (U+018E went to U+0258 before it went to U+01DD).
    result.update(aux)
    for c in range(0x10A0, 0x10C6):
        result[c] = c + 48
    return result


def up_mapping(down):
    """The inverse of the down table (without Georgian), plus long s."""
    candidates = {}
    for c, t in down.items():
        if 0x10A0 <= c <= 0x10C5:
            continue
        candidates.setdefault(t, []).append(c)
    result = {}
    for t, froms in candidates.items():
        preferred = simple_upper(t)
        if preferred not in froms:
            upper = [c for c in froms if unicodedata.category(chr(c)) == "Lu"]
            preferred = min(upper or froms)
        result[t] = preferred
    result[0x17F] = 0x53
    return result


def shift_table(mapping, aux_pairs, blocks):
    aux = dict(aux_pairs)
    deltas = []
    for start in blocks:
        for c in range(start, start + 128):
            t = mapping.get(c, c)
            d = t - c
            if -127 <= d <= 127:
                deltas.append(d)
            else:
                assert aux.get(c) == t, (hex(c), hex(t))
                deltas.append(AUX_DELTA)
    used = {c for c, _ in aux_pairs}
    missing = [hex(c) for c in used if mapping.get(c) != aux[c]]
    assert not missing, missing
    return deltas


def one_to_one_pair(c):
    low = simple_lower(c)
    if low != c and simple_upper(low) == c:
        return c, low
    up = simple_upper(c)
    if up != c and simple_lower(up) == c:
        return c, up
    return None


def min_max_maps():
    mins, maxs = {}, {}
    for c in range(0x10000):
        pair = one_to_one_pair(c)
        if pair is None:
            continue
        if min(pair) != c:
            mins[c] = min(pair)
        if max(pair) != c:
            maxs[c] = max(pair)
    return mins, maxs


def meta_and_deltas(mapping):
    blocks = sorted({c & ~127 for c in mapping})
    meta = [-1] * 512
    deltas = []
    for i, start in enumerate(blocks):
        meta[start >> 7] = i * 128
        deltas.extend(mapping.get(c, c) - c for c in range(start, start + 128))
    return meta, deltas, blocks


def rows(values, per_line=16, width=4):
    out = []
    for i in range(0, len(values), per_line):
        out.append("    " + ", ".join(str(v).rjust(width) for v in values[i:i + per_line]) + ",")
    return "\n".join(out)


def hex_rows(values, per_line=8):
    out = []
    for i in range(0, len(values), per_line):
        out.append("    " + ", ".join("0x%04X" % v for v in values[i:i + per_line]) + ",")
    return "\n".join(out)


def aux_rows(pairs):
    return "\n".join("    0x%04X, 0x%04X," % p for p in pairs) + "\n    0,"


def render():
    down = down_mapping()
    up = up_mapping(down)
    covered = [b for b in DOWN_UP_BLOCKS
               if any(b <= c < b + 128 for c in list(down) + list(up))]
    assert covered == DOWN_UP_BLOCKS, [hex(b) for b in set(DOWN_UP_BLOCKS) - set(covered)]
    meta = [-1] * 512
    for i, start in enumerate(DOWN_UP_BLOCKS):
        meta[start >> 7] = i * 128
    down_deltas = shift_table(down, DOWN_AUX, DOWN_UP_BLOCKS)
    up_deltas = shift_table(up, UP_AUX, DOWN_UP_BLOCKS)

    mins, maxs = min_max_maps()
    min_meta, min_deltas, min_blocks = meta_and_deltas(mins)
    max_meta, max_deltas, max_blocks = meta_and_deltas(maxs)

    n = len(DOWN_UP_BLOCKS) * 128
    return f"""\
// Wide-character case tables. Generated by tools/gen_case_tables.py from
// Unicode {unicodedata.unidata_version} data; do not edit by hand.
//
// Down and up tables: {len(down)} characters shift down, {len(up)} shift up, over
// {len(DOWN_UP_BLOCKS)} blocks of 128. Min and max maps: {len(mins)} and {len(maxs)} characters over
// {len(min_blocks)} and {len(max_blocks)} blocks.
#include "host/case_tables.h"

extern const std::int16_t skz_metatable[512] = {{
{rows(meta, 16, 5)}
}};

extern const std::int8_t skz_downshift[{n}] = {{
{rows(down_deltas)}
}};

extern const std::int8_t skz_upshift[{n}] = {{
{rows(up_deltas)}
}};

extern const QXChar skz_downaux[] = {{
{aux_rows(DOWN_AUX)}
}};

extern const QXChar skz_upaux[] = {{
{aux_rows(UP_AUX)}
}};

extern const std::int32_t skz_min_meta[512] = {{
{rows(min_meta, 16, 5)}
}};

extern const std::int32_t skz_minshift[{len(min_deltas)}] = {{
{rows(min_deltas, 12, 6)}
}};

extern const std::int32_t skz_max_meta[512] = {{
{rows(max_meta, 16, 5)}
}};

extern const std::int32_t skz_maxshift[{len(max_deltas)}] = {{
{rows(max_deltas, 12, 6)}
}};

// The narrow code page is Latin-1: byte b is the wide character b.
QXChar c2qx[256] = {{
{hex_rows(list(range(256)))}
}};

extern const unsigned char u2c[256] = {{
{hex_rows(list(range(256)))}
}};
"""


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src/host/case_tables.cpp")
    with open(target, "w", encoding="ascii") as f:
        f.write(render())


if __name__ == "__main__":
    main()
