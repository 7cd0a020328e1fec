#!/usr/bin/env python3
"""Write a deterministic language file for the benchmarks (UTF-8, no byte-order mark,
CR LF line ends, one tab per level: the layout the editor writes).

Shapes:
  --size 10M          groups of strings 2-4 levels deep until the file reaches the size;
                      values with entities, accents, some empty and multi-word strings,
                      a few comments
  --siblings N        N short strings side by side under one group
  --attrs N           one element carrying N short attributes

Usage: gen_langfile.py OUTPUT (--size S | --siblings N | --attrs N) [--seed N]
"""

import argparse
import random
import sys

EOL = "\r\n"
WORDS = ("fichier ouvrir enregistrer fermer quitter édition copier coller annuler "
         "rétablir préférences affichage fenêtre aide déjà été où très naïve cœur "
         "über Größe réseau télécharger sélectionner supprimer l'élément langue "
         "traduction contributeurs version erreur avertissement confirmer").split()
HEAD = ('<Languages version="0.4">' + EOL +
        '\t<fr name="Français" en_name="French" icon="fr.png" date="2026-12-06" version="1.0">' + EOL)
TAIL = '\t</fr>' + EOL + '</Languages>'


def escape(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;").replace("'", "&apos;"))


def value(rng):
    words = [rng.choice(WORDS) for _ in range(rng.randint(1, 14))]
    if rng.random() < 0.1:
        words.insert(rng.randrange(len(words) + 1), "\\n")
    if rng.random() < 0.15:
        words.insert(rng.randrange(len(words) + 1), rng.choice(["&", "<b>", "\"%1\"", "'%s'"]))
    return escape(" ".join(words))


def string(rng, name, depth):
    tabs = "\t" * depth
    if rng.random() < 0.05:
        return f"{tabs}<{name}/>{EOL}"
    return f"{tabs}<{name}>{value(rng)}</{name}>{EOL}"


def group(rng, name, depth, levels):
    tabs = "\t" * depth
    out = [f"{tabs}<{name}>{EOL}"]
    if levels <= 1:
        out += [string(rng, f"String{i}", depth + 1) for i in range(1, rng.randint(5, 40) + 1)]
    else:
        out += [group(rng, f"Sub{i}", depth + 1, levels - 1) for i in range(1, rng.randint(1, 3) + 1)]
    out.append(f"{tabs}</{name}>{EOL}")
    return "".join(out)


def sized(rng, size):
    parts, total, n = [HEAD], len(HEAD.encode()), 0
    while total < size:
        n += 1
        if n % 50 == 1:
            parts.append(f"\t\t<!-- group {n} -->{EOL}")
        g = group(rng, f"Group{n}", 2, rng.randint(1, 3))
        parts.append(g)
        total += len(g.encode())
    return "".join(parts) + TAIL


def siblings(rng, count):
    body = "".join(f"\t\t\t<String{i}>{rng.choice(WORDS)}</String{i}>{EOL}" for i in range(1, count + 1))
    return f"{HEAD}\t\t<Strings>{EOL}{body}\t\t</Strings>{EOL}{TAIL}"


def attrs(rng, count):
    pairs = "".join(f' a{i}="{rng.randrange(100)}"' for i in range(1, count + 1))
    return f"{HEAD}\t\t<Wide{pairs}/>{EOL}{TAIL}"


def parse_size(text):
    units = {"K": 1024, "M": 1024 ** 2, "G": 1024 ** 3}
    text = text.strip().upper()
    if text and text[-1] in units:
        return int(float(text[:-1]) * units[text[-1]])
    return int(text)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("output")
    shape = ap.add_mutually_exclusive_group(required=True)
    shape.add_argument("--size")
    shape.add_argument("--siblings", type=int)
    shape.add_argument("--attrs", type=int)
    ap.add_argument("--seed", type=int, default=20261206)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    if a.size:
        text = sized(rng, parse_size(a.size))
    elif a.siblings is not None:
        text = siblings(rng, a.siblings)
    else:
        text = attrs(rng, a.attrs)
    with open(a.output, "wb") as f:
        f.write(text.encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
