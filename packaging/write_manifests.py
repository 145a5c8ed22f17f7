#!/usr/bin/env python3
"""Writes the Scoop manifest (halvik.json) and the winget manifest set (winget/) beside the release
zips, from the project's version, the download address and the zips' SHA-256 hashes.

    write_manifests.py BUILD-DIRECTORY DIST-DIRECTORY

BUILD-DIRECTORY is a configured Windows build: its CMake cache gives the version and the
addresses (HALVIK_DOWNLOAD_URL, HALVIK_HOMEPAGE). DIST-DIRECTORY holds both release zips.
"""
import hashlib
import json
import pathlib
import re
import sys

import yaml

# The winget manifest schema these manifests follow: one that the public repository's validation
# accepts when the release is submitted.
WINGET_MANIFEST_VERSION = "1.10.0"
PACKAGE_IDENTIFIER = "Halvik.Halvik"
PUBLISHER = "The Halvik developers"
DESCRIPTION = ("Closes a Windows application on request, unattended, and reports the outcome to "
               "a HomeSeer variable")
LICENSE = "MIT"
# Each zip's word size in the names Scoop and winget give it.
ARCHITECTURES = {"win32": ("32bit", "x86"), "win64": ("64bit", "x64")}
# Each winget manifest's type, which names its schema, and what its file name adds to the package
# identifier.
WINGET_MANIFESTS = {"version": "", "installer": ".installer", "defaultLocale": ".locale.en-US"}


def cache_value(build, name):
    cache = (build / "CMakeCache.txt").read_text()
    match = re.search(rf"^{name}:[A-Z]+=(.*)$", cache, re.MULTILINE)
    if not match:
        sys.exit(f"write_manifests: {build} has no {name} in its CMake cache")
    return match[1]


def zip_facts(dist, version, download_url):
    """What both manifests say of each zip: its top folder, address and SHA-256 hash."""
    facts = {}
    for arch in ARCHITECTURES:
        folder = f"halvik-{version}-{arch}"
        zip_file = dist / f"{folder}.zip"
        if not zip_file.is_file():
            sys.exit(f"write_manifests: {zip_file} is missing")
        facts[arch] = {"folder": folder, "url": f"{download_url.rstrip('/')}/{folder}.zip",
                       "sha256": hashlib.sha256(zip_file.read_bytes()).hexdigest()}
    return facts


def scoop_manifest(version, homepage, zips):
    return {
        "version": version, "description": DESCRIPTION, "homepage": homepage, "license": LICENSE,
        "architecture": {ARCHITECTURES[arch][0]: {"url": z["url"], "hash": z["sha256"],
                                                  "extract_dir": z["folder"]}
                         for arch, z in zips.items()},
        "bin": "halvik.exe",
    }


def winget_manifests(version, homepage, zips):
    package = {"PackageIdentifier": PACKAGE_IDENTIFIER, "PackageVersion": version}
    installers = [{
        "Architecture": ARCHITECTURES[arch][1],
        "InstallerUrl": z["url"],
        "InstallerSha256": z["sha256"].upper(),
        "NestedInstallerFiles": [{"RelativeFilePath": z["folder"] + "\\halvik.exe",
                                  "PortableCommandAlias": "halvik"}],
    } for arch, z in zips.items()]
    return {
        "version": {**package, "DefaultLocale": "en-US"},
        "installer": {**package, "InstallerType": "zip", "NestedInstallerType": "portable",
                      "Installers": installers},
        "defaultLocale": {**package, "PackageLocale": "en-US", "Publisher": PUBLISHER,
                          "PackageName": "Halvik", "PackageUrl": homepage, "License": LICENSE,
                          "ShortDescription": DESCRIPTION},
    }


def main(build, dist):
    version = cache_value(build, "CMAKE_PROJECT_VERSION")
    homepage = cache_value(build, "HALVIK_HOMEPAGE")
    download_url = cache_value(build, "HALVIK_DOWNLOAD_URL")
    if ".invalid/" in download_url:  # a name that cannot exist: the placeholder
        print(f"write_manifests: the manifests name the placeholder address {download_url}: set "
              "HALVIK_DOWNLOAD_URL before submitting them", file=sys.stderr)
    zips = zip_facts(dist, version, download_url)

    scoop = dist / "halvik.json"
    scoop.write_text(json.dumps(scoop_manifest(version, homepage, zips), indent=2) + "\n")
    winget = dist / "winget"
    winget.mkdir(exist_ok=True)
    for manifest_type, fields in winget_manifests(version, homepage, zips).items():
        path = winget / f"{PACKAGE_IDENTIFIER}{WINGET_MANIFESTS[manifest_type]}.yaml"
        schema = f"winget-manifest.{manifest_type}.{WINGET_MANIFEST_VERSION}.schema.json"
        fields = {**fields, "ManifestType": manifest_type,
                  "ManifestVersion": WINGET_MANIFEST_VERSION}
        path.write_text(f"# yaml-language-server: $schema=https://aka.ms/{schema}\n\n"
                        + yaml.safe_dump(fields, sort_keys=False, width=1000))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
