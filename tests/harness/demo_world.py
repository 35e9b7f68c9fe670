"""Writes the demo world into a Wine prefix and the demo web host's folder.

The prefix gets two simulator installations (MSFS 2024 Steam, MSFS 2020 Microsoft Store), each a
"UserCfg.opt" naming its packages folder and a Community folder beside another maker's add-on;
MSFS 2024 already holds version 1.0.0 of the Velmora weapons patch. The site folder gets the
package catalog "packages.json" and a zip archive for each of the four catalog components (each
with its SHA-256 beside it in "NAME.zip.sha256"), at the paths of the maker's web host; the catalog offers 1.0.1 of the Velmora patch, so the demo
can update what is installed. The hub's own files, the installed application and its desktop
shortcut are removed, so that every run starts from the same world.

Usage: demo_world.py --user-folder PREFIX/drive_c/users/NAME --site SITE --application ORV-Camera.exe
"""

import argparse
import hashlib
import json
import os
import shutil
import zipfile

ROAMING = "AppData/Roaming"
LOCAL = "AppData/Local"
STEAM_2024 = ROAMING + "/Microsoft Flight Simulator 2024"
STORE_2020 = LOCAL + "/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalCache"
APPLICATION_FOLDER = LOCAL + "/Orvantis.CameraSystem"
SHORTCUT = "Desktop/Orvantis Camera System.lnk"

# id -> (folder in the archive, version on the web host, title)
TEXTURE_BYTES = 16 * 1024 * 1024
PATCHES = {
    "velmora": ("orvantis-aircraft-velmora-weapons", "1.0.1", "Velmora Weapons Patch"),
    "tarsek": ("orvantis-aircraft-tarsek-weapons", "1.0.0", "Tarsek Weapons Patch"),
    "quenby": ("orvantis-aircraft-quenby-weapons", "2.0.0", "Quenby Weapons Patch"),
}
FIRST_VELMORA_VERSION = "1.0.0"
CAMERA_VERSION = "0.11.0"


def windows_path(user_folder, relative):
    return "C:\\users\\%s\\%s" % (os.path.basename(user_folder), relative.replace("/", "\\"))


def user_cfg(packages_folder):
    """A UserCfg.opt as the simulator writes it: tab-indented blocks, LF line ends."""
    return ("Version 62\n{Graphics\n\tVersion 1.1\n\tPreset Custom\n}\n"
            "{Video\n\tDisplay 0\n\tFullscreen 0\n\tResolution 1920 1080\n}\n"
            "{Sound\n\tMasterVolume 0.800000\n}\n"
            'InstalledPackagesPath "%s"\n' % packages_folder)


def manifest(title, version, builder):
    return json.dumps({
        "dependencies": [], "content_type": "AIRCRAFT", "title": title,
        "manufacturer": "Orvantis", "creator": "Orvantis", "package_version": version,
        "minimum_game_version": "1.0.0", "builder": builder,
        "release_notes": {"neutral": {"LastUpdate": "", "OlderHistory": ""}},
    }, indent=2)


def patch_files(title, version, builder):
    """The files of a community package, relative to its folder."""
    weapons = "[WEAPONS]\nenabled = 1\nversion = %s\n" % version
    files = {"SimObjects/Airplanes/weapons/weapons.cfg": weapons}
    layout = {"content": [{"path": path, "size": len(text.encode()), "date": 133719680840000000}
                          for path, text in files.items()]}
    files["layout.json"] = json.dumps(layout, indent=2)
    files["manifest.json"] = manifest(title, version, builder)
    return files


def write_tree(folder, files):
    for path, text in files.items():
        target = os.path.join(folder, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "w", newline="\n") as out:
            out.write(text)


def write_zip(archive, texts, copies=None, stored=None):
    """texts: name in the archive -> text; copies: name in the archive -> file to copy;
    stored: name in the archive -> bytes, kept uncompressed."""
    os.makedirs(os.path.dirname(archive), exist_ok=True)
    with zipfile.ZipFile(archive + ".tmp", "w", zipfile.ZIP_DEFLATED) as out:
        for name, file in (copies or {}).items():
            out.write(file, name)
        for name, text in texts.items():
            out.writestr(name, text)
        for name, data in (stored or {}).items():
            out.writestr(name, data, zipfile.ZIP_STORED)
    os.replace(archive + ".tmp", archive)
    write_checksum(archive)


def write_checksum(archive):
    """Publishes the archive's SHA-256 beside it, as "HEX  NAME" (the form sha256sum writes)."""
    digest = hashlib.sha256()
    with open(archive, "rb") as source:
        while piece := source.read(1 << 20):
            digest.update(piece)
    with open(archive + ".sha256", "w", newline="\n") as out:
        out.write("%s  %s\n" % (digest.hexdigest(), os.path.basename(archive)))


def reset(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)


def write_simulators(user):
    for base in (STEAM_2024, STORE_2020):
        packages = base + "/Packages"
        reset(os.path.join(user, packages))
        os.makedirs(os.path.join(user, packages, "Official"))
        community = os.path.join(user, packages, "Community")
        write_tree(os.path.join(community, "thirdparty-livery-example"),
                   {"manifest.json": manifest("Another maker's livery", "3.2.1", "")})
        with open(os.path.join(user, base, "UserCfg.opt"), "w", newline="\n") as out:
            out.write(user_cfg(windows_path(user, packages)))
    folder, _, title = PATCHES["velmora"]
    write_tree(os.path.join(user, STEAM_2024, "Packages/Community", folder),
               patch_files(title, FIRST_VELMORA_VERSION, "Microsoft Flight Simulator 2024"))


def write_site(site, application):
    catalog = {}
    for family, (folder, version, title) in PATCHES.items():
        builder = "Microsoft Flight Simulator 2020" if family == "quenby" else \
            "Microsoft Flight Simulator 2024"
        files = {folder + "/" + path: text
                 for path, text in patch_files(title, version, builder).items()}
        # The Tarsek patch carries a large texture, so that its download lasts long enough to be
        # watched in the interface.
        texture = {folder + "/SimObjects/Airplanes/weapons/texture/weapons.dds":
                   os.urandom(TEXTURE_BYTES)} if family == "tarsek" else None
        write_zip(os.path.join(site, "wp-content/uploads/package",
                               "orvantis-%s-weapons-patch.zip" % family), files, stored=texture)
        catalog[family + "-weapons-patch"] = version
    write_zip(os.path.join(site, "downloads/orv-velmora-camera/orv-camera.zip"),
              {"manifest.json": manifest("Orvantis Camera System", CAMERA_VERSION, "")},
              {"ORV-Camera.exe": application})
    catalog["orv-camera"] = CAMERA_VERSION
    write_tree(os.path.join(site, "downloads/orv-hub"), {"packages.json": json.dumps(catalog)})


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--user-folder", required=True)
    parser.add_argument("--site", required=True)
    parser.add_argument("--application", required=True)
    options = parser.parse_args()
    user = options.user_folder
    for path in (LOCAL + "/Orvantis", APPLICATION_FOLDER, SHORTCUT):
        reset(os.path.join(user, path))
    write_simulators(user)
    write_site(options.site, os.path.realpath(options.application))


if __name__ == "__main__":
    main()
