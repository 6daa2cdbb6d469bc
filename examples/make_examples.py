#!/usr/bin/env python3
"""Writes the sample archives of this folder. Run it from anywhere; the archives are
rebuilt byte for byte the same (fixed dates), so regenerating them changes nothing."""

import os
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
DATE = (1999, 7, 25, 12, 0, 0)

# Box-drawing art in code page 437, the way .nfo files of such collections are drawn.
ART = ("\u2554" + "\u2550" * 30 + "\u2557\r\n"
       "\u2551   STARFIELD DEMO  v1.2       \u2551\r\n"
       "\u255a" + "\u2550" * 30 + "\u255d\r\n").encode("cp437")

ARCHIVES = {
    "starfield.zip": [
        ("STARFIELD.NFO", ART + b"Released by the Velmora demo group.\r\nGreets to all.\r\n"),
        ("FILE_ID.DIZ", b"Starfield demo - a small intro\r\nwith a readme and a licence\r\n"),
        ("starfield.exe", bytes(range(256)) * 8),
    ],
    "invoices-1998.zip": [
        ("readme.txt", b"Invoices of 1998, sorted by month.\r\nSee the licence in licence.txt.\r\n"),
        ("licence.txt", b"Licence: free for personal use.\r\n"),
        ("march.doc", b"Invoice 0311 - paid\r\n"),
    ],
    "games/tetris.zip": [
        ("docs/readme.txt", b"Falling blocks. Press space to drop a piece.\r\n"),
        ("tetris.nfo", ART + b"A classic puzzle game.\r\n"),
    ],
    "games/old/chess.zip": [
        ("chess.txt", b"Chess for two players. Read the manual before you play.\r\n"),
    ],
    "music/tracker.zip": [
        ("tracker.diz", b"Tracker songs from 1996\r\n"),
        ("song.mod", b"M.K." * 64),
    ],
}


def main():
    for name, entries in ARCHIVES.items():
        path = os.path.join(HERE, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
            for entry, data in entries:
                info = zipfile.ZipInfo(entry, DATE)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = 0o644 << 16
                archive.writestr(info, data)
        print("wrote", os.path.relpath(path, HERE))


if __name__ == "__main__":
    main()
