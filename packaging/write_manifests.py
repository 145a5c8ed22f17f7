#!/usr/bin/env python3
"""Writes the Scoop manifest (halvik.json) and the winget manifest set (winget/) beside the release
zips, from the project's version, the download address and the zips' SHA-256 hashes.

    write_manifests.py [--allow-placeholders] BUILD-DIRECTORY DIST-DIRECTORY

BUILD-DIRECTORY is a configured Windows build: its CMake cache gives the version and the
addresses (HALVIK_DOWNLOAD_URL, HALVIK_HOMEPAGE, HALVIK_LICENSE_URL, HALVIK_RELEASE_NOTES_URL).
DIST-DIRECTORY holds both release zips. While an address is a placeholder (under .invalid, a name
that cannot exist) nothing is written, unless --allow-placeholders says that is meant.
Scoop's checkver and autoupdate are written only for a download address among a GitHub
repository's releases, whose tag holds the version.
"""
import argparse
import hashlib
import json
import pathlib
import re
import sys
import urllib.parse

import yaml

# The winget manifest schema these manifests follow: one that the public repository's validation
# accepts when the release is submitted. The release check holds the manifests against its
# schemas in packaging/schemas/winget/.
WINGET_MANIFEST_VERSION = "1.10.0"
PACKAGE_IDENTIFIER = "Halvik.Halvik"
PUBLISHER = "The Halvik developers"
DESCRIPTION = ("Closes a Windows application on request, unattended, and reports the outcome to "
               "a HomeSeer variable")
LICENSE = "MIT"
MONIKER = "halvik"
TAGS = ["close-application", "homeseer", "home-automation", "process", "window"]
# The CMake cache variables that hold the addresses the manifests name.
ADDRESSES = ["HALVIK_DOWNLOAD_URL", "HALVIK_HOMEPAGE", "HALVIK_LICENSE_URL",
             "HALVIK_RELEASE_NOTES_URL"]
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


def scoop_updates(version, download_url, zips):
    """Scoop's checkver and autoupdate, for a download address among a GitHub repository's
    releases: the newest release's tag gives the version, and the hashes come from the
    SHA256SUMS published beside the zips. None for any other address."""
    match = re.fullmatch(rf"(https://github\.com/[^/]+/[^/]+)/releases/download/"
                         rf"[^/]*{re.escape(version)}[^/]*/?", download_url)
    if not match:
        return None
    return {
        "checkver": {"github": match[1]},
        "autoupdate": {
            "architecture": {ARCHITECTURES[arch][0]: {
                "url": z["url"].replace(version, "$version"),
                "extract_dir": z["folder"].replace(version, "$version")}
                for arch, z in zips.items()},
            "hash": {"url": "$baseurl/SHA256SUMS"},
        },
    }


def scoop_manifest(version, addresses, zips, updates):
    return {
        "version": version, "description": DESCRIPTION, "homepage": addresses["HALVIK_HOMEPAGE"],
        "license": LICENSE,
        "architecture": {ARCHITECTURES[arch][0]: {"url": z["url"], "hash": z["sha256"],
                                                  "extract_dir": z["folder"]}
                         for arch, z in zips.items()},
        "bin": "halvik.exe",
        **(updates or {}),
    }


def winget_manifests(version, addresses, zips):
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
                          "PublisherUrl": addresses["HALVIK_HOMEPAGE"], "PackageName": "Halvik",
                          "PackageUrl": addresses["HALVIK_HOMEPAGE"], "License": LICENSE,
                          "LicenseUrl": addresses["HALVIK_LICENSE_URL"],
                          "ShortDescription": DESCRIPTION, "Moniker": MONIKER, "Tags": TAGS,
                          "ReleaseNotesUrl": addresses["HALVIK_RELEASE_NOTES_URL"]},
    }


def main(build, dist, allow_placeholders):
    version = cache_value(build, "CMAKE_PROJECT_VERSION")
    addresses = {name: cache_value(build, name) for name in ADDRESSES}
    placeholders = [f"{name} {url}" for name, url in addresses.items()
                    if (urllib.parse.urlsplit(url).hostname or "").endswith(".invalid")]
    if placeholders and not allow_placeholders:
        sys.exit(f"write_manifests: these addresses are placeholders: {', '.join(placeholders)}. "
                 "Set them (packaging/CMakeLists.txt), or give --allow-placeholders for manifests "
                 "that are not to be submitted")
    for placeholder in placeholders:
        print(f"write_manifests: the manifests name the placeholder {placeholder}",
              file=sys.stderr)
    download_url = addresses["HALVIK_DOWNLOAD_URL"]
    zips = zip_facts(dist, version, download_url)
    updates = scoop_updates(version, download_url, zips)
    if not updates:
        print(f"write_manifests: the Scoop manifest has no checkver and autoupdate: {download_url} "
              "is not a GitHub release whose tag holds the version", file=sys.stderr)

    scoop = dist / "halvik.json"
    scoop.write_text(json.dumps(scoop_manifest(version, addresses, zips, updates), indent=2) + "\n")
    winget = dist / "winget"
    winget.mkdir(exist_ok=True)
    for manifest_type, fields in winget_manifests(version, addresses, zips).items():
        path = winget / f"{PACKAGE_IDENTIFIER}{WINGET_MANIFESTS[manifest_type]}.yaml"
        schema = f"winget-manifest.{manifest_type}.{WINGET_MANIFEST_VERSION}.schema.json"
        fields = {**fields, "ManifestType": manifest_type,
                  "ManifestVersion": WINGET_MANIFEST_VERSION}
        path.write_text(f"# yaml-language-server: $schema=https://aka.ms/{schema}\n\n"
                        + yaml.safe_dump(fields, sort_keys=False, width=1000))


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--allow-placeholders", action="store_true",
                        help="write manifests that name placeholder addresses, with a warning")
    parser.add_argument("build", type=pathlib.Path, metavar="BUILD-DIRECTORY")
    parser.add_argument("dist", type=pathlib.Path, metavar="DIST-DIRECTORY")
    arguments = parser.parse_args()
    main(arguments.build, arguments.dist, arguments.allow_placeholders)
