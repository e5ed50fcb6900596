#!/usr/bin/env python3
"""Writes dados/unidades.txt: every unit the rules of dados/regras.rgr can ask
for, with the eSpeak phonemes that render it.

A syllable of the rules is an onset, a nucleus and a coda (dados/README.md);
the engine cuts it into units, so the units are: onset + vowel (with CIRC or
TIL for the nasal vowels), vowel + glide, open-vowel diphthongs whole, and
the consonants that stand alone. Run it after changing the notation:

    python3 tools/gravador/inventario.py > dados/unidades.txt
"""

# notation -> eSpeak phonemes
ONSETS = {
    '': '', 'p': 'p', 'b': 'b', 't': 't', 'd': 'd', 'k': 'k', 'g': 'g', 'f': 'f', 'v': 'v',
    's': 's', 'z': 'z', 'm': 'm', 'n': 'n', 'l': 'l', 'r': '*', 'rr': 'x', 'x': 'S', 'j': 'Z',
    'tch': 'tS', 'dj': 'dZ', 'nh': 'n^', 'lh': 'l^', 'ks': 'ks', 'kw': 'kw', 'gw': 'gw',
    'pR': 'pR', 'bR': 'bR', 'tR': 'tR', 'dR': 'dR', 'kR': 'kR', 'gR': 'gR', 'fR': 'fR', 'vR': 'vR',
    'pL': 'pl', 'bL': 'bl', 'kL': 'kl', 'gL': 'gl', 'fL': 'fl', 'tL': 'tl',
}
# Oral vowels, open vowels and their diphthongs, kept whole in one unit.
VOWELS = {'a': 'a', 'e': 'e', 'i': 'i', 'o': 'o', 'u': 'u', "e'": 'E', "o'": 'O',
          "e'y": 'EI', "e'w": 'EU', "o'y": 'OI', "o'w": 'OU'}
# Nasal vowels: name + TIL.
NASAL = {'a': '&~', 'e': 'e~', 'i': 'i~', 'o': 'o~', 'u': 'u~'}
# The vowel before the glide of a nasal diphthong: name + CIRC.
CIRC = {'a': '&', 'e': 'e', 'o': 'o', 'u': 'u'}
# Vowel + glide units the engine cuts off the end of a syllable.
GLIDES = {'ay': 'aI', 'ey': 'eI', 'oy': 'oI', 'uy': 'uI', 'aw': 'aU', 'ew': 'eU', 'iw': 'iU',
          'ow': 'oU', 'uw': 'uU'}
NASAL_GLIDES = {'aw': '&U~', 'ay': '&~I~', 'ey': 'e~I~', 'oy': 'o~I~', 'uy': 'u~I~', 'ew': 'e~U~',
                'iw': 'i~U~', 'ow': 'o~U~', 'uw': 'u~U~', 'iy': 'i~I~'}
# Consonants that end a syllable or stand alone.
ALONE = {'s': 's', 'z': 'z', 'r': 'r', 'p': 'p', 'b': 'b', 't': 't', 'd': 'd', 'k': 'k',
         'g': 'g', 'f': 'f', 'v': 'v', 'm': 'm', 'n': 'n', 'x': 'S', 'j': 'Z', 'ks': 'ks',
         'l': 'l', 'lh': 'l^', 'nh': 'n^', 'rr': 'x', 'tch': 'tS', 'dj': 'dZ'}
# A lone vowel followed by r or z in one segment is looked up whole.
VOWEL_CODA = {'r': 'r', 'z': 'z'}


def name(s):
    return '$' + s.upper()


units = {}


def add(n, esp):
    if len(n) <= 8:
        units.setdefault(n, esp)


for o, oe in ONSETS.items():
    for v, ve in VOWELS.items():
        add(name(o + v), oe + "'" + ve)
    for v, ve in NASAL.items():
        add(name(o + v) + 'TIL', oe + "'" + ve)
    for v, ve in CIRC.items():
        add(name(o + v) + 'CIRC', oe + "'" + ve)
for g, ge in GLIDES.items():
    add(name(g), "'" + ge)
for g, ge in NASAL_GLIDES.items():
    add(name(g) + 'TIL', "'" + ge)
for c, ce in ALONE.items():
    add(name(c), ce)
# An onset before a consonant stands alone, or with the r or z that closes
# its syllable in a two-byte segment.
for o, oe in ONSETS.items():
    if o:
        add(name(o), oe)
    if len(o) == 1:
        for c, ce in VOWEL_CODA.items():
            add(name(o + c), oe + ce)
for v in 'aeiou':
    for c, ce in VOWEL_CODA.items():
        add(name(v + c), "'" + VOWELS[v] + ce)
# A glide left alone, or after another glide (an l after a diphthong).
for g, ge in {'w': 'U', 'y': 'I', 'ww': 'U', 'yw': 'IU', 'wy': 'UI', 'yy': 'I'}.items():
    add(name(g), ge)
add('$NN', 'n')  # the nasal tail the engine adds when a TIL unit is missing

print('# Units of the diphone database, written by tools/gravador/inventario.py')
print('# from the notation of dados/README.md: the name the engine looks up, then')
print("# the eSpeak phonemes that render it.")
for n in sorted(units, key=lambda s: s.encode()):
    print(f'{n}\t[[{units[n]}]]')
