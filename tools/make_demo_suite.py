#!/usr/bin/env python3
"""Writes the demo suite under demo/suite: a placeholder launcher, language files for three
tools in English, French, German and Brazilian Portuguese, and small flag icons.

The files deliberately hold what a translator meets in real suites: missing strings, empty
strings, strings identical to English, contributors, an old format version, one file in
UTF-16LE with a byte-order mark and one in Windows-1252."""
import os
import struct
import sys
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "demo", "suite")


def png(path, width, height, pixel):
    """A truecolour PNG whose pixel(x, y) gives (r, g, b)."""
    raw = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def flags(folder):
    w, h = 16, 11
    blue, white, red = (0, 35, 149), (255, 255, 255), (237, 41, 57)
    png(os.path.join(folder, "fr.png"), w, h, lambda x, y: blue if x < 5 else white if x < 11 else red)
    png(os.path.join(folder, "de.png"), w, h,
        lambda x, y: (0, 0, 0) if y < 4 else (221, 0, 0) if y < 8 else (255, 206, 0))

    def br(x, y):
        cx, cy = 7.5, 5.0
        if abs(x - cx) / 6.5 + abs(y - cy) / 4.0 <= 1.0:
            return (0, 39, 118) if (x - cx) ** 2 + (y - cy) ** 2 <= 5 else (254, 221, 0)
        return (0, 151, 57)
    png(os.path.join(folder, "br.png"), w, h, br)

    def en(x, y):
        if 6 <= x <= 9 or 4 <= y <= 6:
            return red if (7 <= x <= 8 or y == 5) else white
        return (1, 33, 105)
    png(os.path.join(folder, "en.png"), w, h, en)


def esc(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def element(tag, attrs, body, depth):
    tabs = "\t" * depth
    a = "".join(f' {k}="{esc(v)}"' for k, v in attrs.items())
    if body is None:
        return f"{tabs}<{tag}{a}/>\r\n"
    if isinstance(body, str):
        return f"{tabs}<{tag}{a}>{esc(body)}</{tag}>\r\n"
    inner = "".join(element(t, at, b, depth + 1) for t, at, b in body)
    return f"{tabs}<{tag}{a}>\r\n{inner}{tabs}</{tag}>\r\n"


def tree(d):
    """{"Config": {"Labels": {"Title": "x"}}} -> element triples."""
    out = []
    for k, v in d.items():
        if isinstance(v, dict):
            out.append((k, {}, tree(v)))
        else:
            out.append((k, {}, v))
    return out


def language_file(path, version, lang, attrs, strings, contributors=(), encoding="utf-8", bom=False):
    body = tree(strings)
    if contributors:
        body.append(("Contributors", {}, [("Contributor", c, None) for c in contributors]))
    text = f'<Languages version="{version}">\r\n' + element(lang, attrs, body, 1) + "</Languages>\r\n"
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = text.encode(encoding)
    if bom and encoding == "utf-16-le":
        data = b"\xff\xfe" + data
    with open(path, "wb") as f:
        f.write(data)


MENU_EN = {
    "Config": {
        "Labels": {"Title": "Kestrova Menu", "Welcome": "Welcome to Kestrova!\\nChoose a tool below.",
                   "Version": "Version %s", "Exit": "Exit"},
        "Options": {"KeyboardShortcuts": "Keyboard shortcuts", "StartWithSystem": "Start with the system",
                    "Language": "Language"},
    },
    "Menu": {
        "File": {"Open": "Open...", "Save": "Save", "Quit": "Quit"},
        "Help": {"About": "About Kestrova", "Website": "Visit the website"},
    },
    "Messages": {"ConfirmQuit": "Do you really want to quit?", "Updated": "Kestrova has been updated.",
                 "Error": "An error occurred: %s"},
}
MENU_FR = {
    "Config": {
        "Labels": {"Title": "Kestrova Menu", "Welcome": "Bienvenue dans Kestrova !\\nChoisissez un outil ci-dessous.",
                   "Version": "Version %s", "Exit": "Quitter"},
        "Options": {"KeyboardShortcuts": "Raccourcis clavier", "StartWithSystem": "",
                    "Language": "Langue"},
    },
    "Menu": {
        "File": {"Open": "Ouvrir...", "Save": "Enregistrer", "Quit": "Quitter"},
        "Help": {"About": "À propos de Kestrova"},
    },
    "Messages": {"ConfirmQuit": "Voulez-vous vraiment quitter ?", "Error": "Une erreur est survenue : %s"},
}
MENU_DE = {
    "Config": {
        "Labels": {"Title": "Kestrova Menü", "Welcome": "Willkommen bei Kestrova!\\nWählen Sie unten ein Werkzeug.",
                   "Version": "Version %s", "Exit": "Beenden"},
        "Options": {"KeyboardShortcuts": "Tastenkürzel", "StartWithSystem": "Mit dem System starten",
                    "Language": "Sprache"},
    },
    "Menu": {
        "File": {"Open": "Öffnen...", "Save": "Speichern", "Quit": "Beenden"},
        "Help": {"About": "Über Kestrova", "Website": "Webseite besuchen", "Forum": "Zum Forum"},
    },
    "Messages": {"ConfirmQuit": "Wirklich beenden?", "Updated": "", "Error": "Fehler: %s"},
}
MENU_PT = {
    "Config": {
        "Labels": {"Title": "Menu Kestrova", "Welcome": "Bem-vindo ao Kestrova!", "Exit": "Sair",
                   "AppHotKeys_Caption": "Atalhos de teclado"},
    },
    "Menu": {"File": {"Open": "Abrir...", "Quit": "Sair"}},
}

SETUP_EN = {
    "Wizard": {"Title": "Kestrova Setup", "Next": "&Next >", "Back": "< &Back", "Cancel": "Cancel",
               "Finish": "&Finish"},
    "Pages": {"Welcome": "This wizard installs Kestrova on your computer.",
              "Folder": "Choose the installation folder:", "Progress": "Installing %d of %d files...",
              "Done": "Kestrova has been installed."},
    "Errors": {"DiskFull": "Not enough disk space.", "Access": "Access denied: %s"},
}
SETUP_FR = {
    "Wizard": {"Title": "Installation de Kestrova", "Next": "&Suivant >", "Back": "< &Précédent",
               "Cancel": "Annuler", "Finish": "&Terminer"},
    "Pages": {"Welcome": "Cet assistant installe Kestrova sur votre ordinateur.",
              "Folder": "Choisissez le dossier d'installation :", "Done": ""},
    "Errors": {"DiskFull": "Espace disque insuffisant.", "Access": "Accès refusé : %s"},
}
SETUP_DE = {
    "Wizard": {"Title": "Kestrova-Installation", "Next": "&Weiter >", "Back": "< &Zurück",
               "Cancel": "Abbrechen", "Finish": "&Fertigstellen"},
    "Pages": {"Welcome": "Dieser Assistent installiert Kestrova auf Ihrem Computer.",
              "Folder": "Wählen Sie den Installationsordner:", "Progress": "Installiere %d von %d Dateien...",
              "Done": "Kestrova wurde installiert."},
    "Errors": {"DiskFull": "Nicht genügend Speicherplatz.", "Access": "Zugriff verweigert: %s"},
}

LINKER_EN = {
    "Main": {"Caption": "Type Linker", "Associate": "Associate file types", "Restore": "Restore defaults",
             "Apply": "Apply"},
    "Types": {"Documents": "Documents", "Images": "Images", "Archives": "Archives"},
}
LINKER_FR = {
    "Main": {"Caption": "Type Linker", "Associate": "Associer les types de fichiers",
             "Restore": "Rétablir les valeurs par défaut", "Apply": "Appliquer"},
    "Types": {"Documents": "Documents", "Images": "Images"},
}


def main():
    root = os.path.normpath(sys.argv[1] if len(sys.argv) > 1 else ROOT)
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "Kestrova.exe"), "w") as f:
        f.write("Placeholder for the suite launcher: the editor only looks for this file.\n")
    tools = os.path.join(root, "KestrovaTools")
    menu = os.path.join(tools, "KestrovaMenu", "Languages")
    flags(os.path.join(menu, "Icons"))
    today = "2026-11-20"
    language_file(os.path.join(menu, "KestrovaMenu_en.xml"), "0.4", "en",
                  {"name": "English", "en_name": "English", "icon": "en.png", "date": today, "version": "3.1"},
                  MENU_EN, [{"name": "Kestrova team", "email": "team@kestrova.invalid", "website": ""}])
    language_file(os.path.join(menu, "KestrovaMenu_fr.xml"), "0.4", "fr",
                  {"name": "Français", "en_name": "French", "icon": "fr.png", "date": today, "version": "3.0"},
                  MENU_FR, [{"name": "Camille Martin", "email": "camille@example.invalid", "website": ""},
                            {"name": "Louis Petit", "email": "", "website": "http://example.invalid/louis"}])
    language_file(os.path.join(menu, "KestrovaMenu_de.xml"), "0.4", "de",
                  {"name": "Deutsch", "en_name": "German", "icon": "de.png", "date": today, "version": "2.7"},
                  MENU_DE, [{"name": "Jonas Becker", "email": "jonas@example.invalid", "website": ""}])
    # An old file: format 0.1 with the translator in author attributes, upgraded when read.
    language_file(os.path.join(menu, "KestrovaMenu_pt-BR.xml"), "0.1", "pt-BR",
                  {"name": "Português (Brasil)", "icon": "br.png", "date": "2010-05-02", "version": "0.9",
                   "author": "Ana Souza", "author_email": "ana@example.invalid"}, MENU_PT)

    setup = os.path.join(tools, "Setup")
    language_file(os.path.join(setup, "KVSetup_en.xml"), "0.4", "en",
                  {"name": "English", "en_name": "English", "icon": "en.png", "date": today}, SETUP_EN)
    language_file(os.path.join(setup, "KVSetup_fr.xml"), "0.4", "fr",
                  {"name": "Français", "en_name": "French", "icon": "fr.png", "date": today}, SETUP_FR)
    # UTF-16LE with a byte-order mark.
    language_file(os.path.join(setup, "KVSetup_de.xml"), "0.3", "de",
                  {"name": "Deutsch", "en_name": "German", "icon": "de.png", "date": today}, SETUP_DE,
                  encoding="utf-16-le", bom=True)

    linker = os.path.join(tools, "TypeLinker")
    language_file(os.path.join(linker, "TypeLinker_en.xml"), "0.4", "en",
                  {"name": "English", "en_name": "English", "icon": "en.png", "date": today}, LINKER_EN)
    # Windows-1252, no mark.
    language_file(os.path.join(linker, "TypeLinker_fr.xml"), "0.4", "fr",
                  {"name": "Français", "en_name": "French", "icon": "fr.png", "date": today}, LINKER_FR,
                  encoding="cp1252")
    print("demo suite written to", root)


if __name__ == "__main__":
    main()
