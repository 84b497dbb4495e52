#!/usr/bin/env python3
"""Draws the toolbar's image strip, data/toolbar.xpm: ten 16x16 faces side by side
(160x16) in the strip's order: Good E-mail, Junk E-mail, an empty slot, Options, Check
Folder, Email to support, Help, Empty Spam Folder, Test Message, Customize Toolbar.
The background colour #C0C0C0 is the strip's transparent colour.

Usage: tools/draw_toolbar_strip.py > data/toolbar.xpm
"""

COLOURS = {
    ".": "#C0C0C0",  # transparent
    "k": "#000000",
    "w": "#FFFFFF",
    "g": "#108010",
    "r": "#C01010",
    "y": "#F0C020",
    "b": "#2050C0",
    "d": "#606060",
    "l": "#A0A0A0",
}

FACES = [
    # Good E-mail: a green tick
    ["................", "..............g.", ".............gg.", "............gg..",
     "...........gg...", "..........gg....", ".g.......gg.....", ".gg.....gg......",
     "..gg...gg.......", "...gg.gg........", "....ggg.........", ".....g..........",
     "................", "................", "................", "................"],
    # Junk E-mail: a red cross
    ["................", ".rr..........rr.", ".rrr........rrr.", "..rrr......rrr..",
     "...rrr....rrr...", "....rrr..rrr....", ".....rrrrrr.....", "......rrrr......",
     "......rrrr......", ".....rrrrrr.....", "....rrr..rrr....", "...rrr....rrr...",
     "..rrr......rrr..", ".rrr........rrr.", ".rr..........rr.", "................"],
    # no command takes this slot
    ["................"] * 16,
    # Options: a grey cog
    ["................", ".......dd.......", "...d...dd...d...", "....d.dddd.d....",
     ".....dddddd.....", "....dddllddd....", "..dddddl.ldddd..", "..ddddl...dddd..",
     "..dddd...lddd...", "..ddddl.ldddd...", "....dddllddd....", ".....dddddd.....",
     "....d.dddd.d....", "...d...dd...d...", ".......dd.......", "................"],
    # Check Folder: a yellow folder with a lens
    ["................", "................", ".kkkk...........", ".kyyyk..........",
     ".kyyyykkkkkkk...", ".kyyyyyyyyyyk...", ".kyyyyyyyyyyk...", ".kyyyyyykkkyk...",
     ".kyyyyykwwwky...", ".kyyyyykwwwk....", ".kyyyyykwwwk....", ".kkkkkkkkkkd....",
     "..........ddd...", "...........ddd..", "............dd..", "................"],
    # Email to support: an envelope
    ["................", "................", "................", ".kkkkkkkkkkkkkk.",
     ".kwkwwwwwwwwkwk.", ".kwwkwwwwwwkwwk.", ".kwwwkwwwwkwwwk.", ".kwwwwkwwkwwwwk.",
     ".kwwwwwkkwwwwwk.", ".kwwwwwwwwwwwwk.", ".kwwwwwwwwwwwwk.", ".kwwwwwwwwwwwwk.",
     ".kkkkkkkkkkkkkk.", "................", "................", "................"],
    # Help: a blue question mark
    ["................", ".....bbbbbb.....", "....bb....bb....", "...bb......bb...",
     "...bb......bb...", "...........bb...", "..........bb....", ".........bb.....",
     "........bb......", ".......bb.......", ".......bb.......", "................",
     ".......bb.......", ".......bb.......", "................", "................"],
    # Empty Spam Folder: a waste bin
    ["................", "......kkkk......", "..kkkkkkkkkkkk..", "..kllllllllllk..",
     "..kkkkkkkkkkkk..", "...kwlwlwlwlk...", "...kwlwlwlwlk...", "...kwlwlwlwlk...",
     "...kwlwlwlwlk...", "...kwlwlwlwlk...", "...kwlwlwlwlk...", "...kwlwlwlwlk...",
     "...kwlwlwlwlk...", "...kkkkkkkkkk...", "................", "................"],
    # Test Message: a page with a question
    ["................", "..kkkkkkkkk.....", "..kwwwwwwwkk....", "..kwwwwwwwkwk...",
     "..kwbbbwwwkkkk..", "..kwwwwbwwwwwk..", "..kwwwwbwwwwwk..", "..kwwwbwwwwwwk..",
     "..kwwbwwwwwwwk..", "..kwwbwwwwwwwk..", "..kwwwwwwwwwwk..", "..kwwbwwwwwwwk..",
     "..kwwwwwwwwwwk..", "..kkkkkkkkkkkk..", "................", "................"],
    # Customize Toolbar: a bar of buttons and a pencil
    ["................", "................", "kkkkkkkkkkkkkkkk", "kgkwrkwykwbkwwwk",
     "kgkwrkwykwbkwwwk", "kkkkkkkkkkkkkkkk", "................", "...........yy...",
     "..........yyyy..", ".........yyyy...", "........yyyy....", ".......yyyy.....",
     "......kyyy......", "......kky.......", "......kk........", "................"],
]


def main():
    assert len(FACES) == 10 and all(len(f) == 16 and all(len(r) == 16 for r in f) for f in FACES)
    print("/* XPM */")
    print("static char *toolbar[] = {")
    print('"160 16 %d 1",' % len(COLOURS))
    for key, colour in COLOURS.items():
        print('"%s c %s",' % (key, colour))
    rows = ["".join(face[y] for face in FACES) for y in range(16)]
    print(",\n".join('"%s"' % row for row in rows))
    print("};")


if __name__ == "__main__":
    main()
