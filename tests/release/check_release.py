#!/usr/bin/env python3
"""Makes a release the way scripts/release.sh does, from one clean build of each release preset
(build/release-check-win32 and -win64) and a throw-away certificate authority: signs each
halvik.exe with scripts/sign.sh, packages it with cpack and writes the manifests with
packaging/write_manifests.py. Then checks the signatures, the zips and the manifests (against
their official schemas in packaging/schemas/), one case per line, and ends with a line in ctest's
words, which scripts/test.sh counts."""
import hashlib
import json
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import zipfile

import jsonschema
import yaml

root = pathlib.Path(__file__).resolve().parents[2]
work = pathlib.Path(tempfile.mkdtemp())
dist = work / "dist"
dist.mkdir()
version = re.search(r"project\(Halvik VERSION ([0-9.]+)", (root / "CMakeLists.txt").read_text())[1]


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def verifies(program, authority):
    """Whether the program's SHA-256 signature verifies against the authority."""
    verify = ["osslsigncode", "verify", "-CAfile", work / f"{authority}.pem", "-in", program]
    result = subprocess.run(verify, capture_output=True, text=True)
    digest = re.search(r"Message digest algorithm *: SHA256", result.stdout)
    return result.returncode == 0 and digest


def certificate(name, *options):
    """A key and certificate: a certificate authority of its own, or what the options make."""
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
        f"/CN={name}", "-keyout", work / f"{name}.key", "-out", work / f"{name}.pem", *options)


def release_build(arch):
    """Builds, signs and packages one program; returns its signed and unsigned forms."""
    build = root / "build" / f"release-check-{arch}"
    shutil.rmtree(build, ignore_errors=True)
    run("cmake", "--preset", f"release-{arch}", "-B", build)
    run("cmake", "--build", build, "-j2")
    unsigned = shutil.copy(build / "bin/halvik.exe", work / f"unsigned-{arch}.exe")
    run(root / "scripts/sign.sh", build / "bin/halvik.exe", env=signing)
    run("cpack", cwd=build)
    shutil.move(build / f"halvik-{version}-{arch}.zip", dist)
    return build / "bin/halvik.exe", pathlib.Path(unsigned)


def flipped_in_first_section(program):
    data = bytearray(program.read_bytes())
    header = int.from_bytes(data[0x3C:0x40], "little")
    section_table = header + 24 + int.from_bytes(data[header + 20:header + 22], "little")
    raw_size, raw_start = (int.from_bytes(data[section_table + at:section_table + at + 4], "little")
                           for at in (16, 20))
    data[raw_start + raw_size // 2] ^= 1
    flipped = work / f"flipped-{program.name}"
    flipped.write_bytes(data)
    return flipped


def signed_again(program, environment):
    copy = pathlib.Path(shutil.copy(program, work / f"again-{program.name}"))
    run(root / "scripts/sign.sh", copy, env=environment)
    return copy.read_bytes()


def signs_copy(environment, folder=work, shell=("bash", "-x")):
    """Whether sign.sh, traced and started in the folder on a copy of the unsigned 64-bit program
    named from there, signs it and prints no password."""
    copy = shutil.copy(programs["win64"][1], work / "copy.exe")
    result = subprocess.run([*shell, root / "scripts/sign.sh", os.path.relpath(copy, folder)],
                            cwd=folder, env=environment, capture_output=True, text=True)
    output = result.stdout + result.stderr
    return result.returncode == 0 and verifies(copy, "test-ca") and "+ " in output and \
        password not in output


def schema_errors(manifest):
    """What the manifest's official schema finds wrong in it (formats unchecked)."""
    name = (f"winget/manifest.{manifest['ManifestType']}.{manifest['ManifestVersion']}.json"
            if "ManifestType" in manifest else "scoop/schema.json")
    schema = json.loads((root / "packaging/schemas" / name).read_text())
    return [error.message for error in jsonschema.Draft7Validator(schema).iter_errors(manifest)]


def scoop_urls_name_their_zips(manifest):
    return all(manifest["architecture"][scoop_arch]["url"].endswith(f"/halvik-{version}-{arch}.zip")
               for arch, scoop_arch, _ in ARCHITECTURES)


def manifests_for(name, **addresses):
    """The Scoop manifest that write_manifests.py writes from the 64-bit build's CMake cache with
    the addresses put first (where they are read), beside copies of the zips in work/name; None
    when it refuses."""
    cache = (root / "build/release-check-win64/CMakeCache.txt").read_text()
    shutil.copytree(dist, work / name, ignore=shutil.ignore_patterns("*.json", "winget"))
    (work / name / "CMakeCache.txt").write_text(
        "".join(f"{variable}:STRING={url}\n" for variable, url in addresses.items()) + cache)
    if subprocess.run(["python3", root / "packaging/write_manifests.py", work / name, work / name],
                      capture_output=True).returncode == 0:
        return json.loads((work / name / "halvik.json").read_text())


def in_zip(arch, name):
    with zipfile.ZipFile(dist / f"halvik-{version}-{arch}.zip") as archive:
        return archive.read(f"halvik-{version}-{arch}/{name}") if name else archive.namelist()


ARCHITECTURES = (("win32", "32bit", "x86"), ("win64", "64bit", "x64"))
unsigned_environment = {k: v for k, v in os.environ.items() if not k.startswith("HALVIK_SIGN")}
password = f"never-by-chance-{os.urandom(16).hex()}"
certificate("test-ca")
certificate("other-ca")
certificate("signer", "-CA", work / "test-ca.pem", "-CAkey", work / "test-ca.key",
            "-addext", "basicConstraints=CA:FALSE", "-addext", "extendedKeyUsage=codeSigning")
signing = {**unsigned_environment, "HALVIK_SIGN_PKCS12": str(work / "signer.p12"),
           "HALVIK_SIGN_PASSWORD": password}
for p12, pass_out in (("signer.p12", "env:HALVIK_SIGN_PASSWORD"), ("no-password.p12", "pass:")):
    run("openssl", "pkcs12", "-export", "-inkey", work / "signer.key", "-in", work / "signer.pem",
        "-out", work / p12, "-passout", pass_out, env=signing)
(work / "elsewhere").mkdir()
programs = {arch: release_build(arch) for arch in ("win32", "win64")}
run("python3", root / "packaging/write_manifests.py", "--allow-placeholders",
    root / "build/release-check-win64", dist)
scoop = json.loads((dist / "halvik.json").read_text())
winget = [yaml.safe_load(path.read_text()) for path in sorted((dist / "winget").glob("*.yaml"))]
installers = {i["Architecture"]: i for m in winget for i in m.get("Installers", [])}
github = "https://github.com/halvik-check/halvik"
published = {"HALVIK_DOWNLOAD_URL": f"{github}/releases/download/v{version}",
             **{name: github for name in ("HALVIK_HOMEPAGE", "HALVIK_LICENSE_URL",
                                          "HALVIK_RELEASE_NOTES_URL")}}

cases = [("the manifests carry the project's version",
          lambda: {scoop["version"]} | {m["PackageVersion"] for m in winget} == {version}),
         ("signed under bash -x, and nothing printed holds the password",
          lambda: signs_copy(signing)),
         ("signed with xtrace in an exported SHELLOPTS, and nothing printed holds the password",
          lambda: signs_copy({**signing, "SHELLOPTS": "xtrace"}, shell=())),
         ("an empty password signs with a PKCS#12 that has none",
          lambda: signs_copy({**signing, "HALVIK_SIGN_PKCS12": str(work / "no-password.p12"),
                              "HALVIK_SIGN_PASSWORD": ""})),
         ("a certificate and a program named from another folder are found there",
          lambda: signs_copy({**signing, "HALVIK_SIGN_PKCS12": "../signer.p12"},
                             work / "elsewhere")),
         *[(f"the {m.get('ManifestType', 'Scoop')} manifest is valid against its schema",
            lambda m=m: not schema_errors(m)) for m in [scoop, *winget]],
         ("a manifest that breaks its schema is refused",
          lambda: all(schema_errors(m) for m in [
              {**scoop, "license": 3}, *[{**m, "PackageVersion": "1/3"} for m in winget]])),
         ("each Scoop url names its architecture's zip, and swapped ones are found out",
          lambda: scoop_urls_name_their_zips(scoop) and not scoop_urls_name_their_zips(
              {**scoop, "architecture": {"32bit": scoop["architecture"]["64bit"],
                                         "64bit": scoop["architecture"]["32bit"]}})),
         ("only a GitHub release gives Scoop's checkver and autoupdate, valid against its schema",
          lambda: not {"checkver", "autoupdate"} & scoop.keys() and
          (m := manifests_for("github", **published)) and not schema_errors(m) and
          m["checkver"] == {"github": github} and m["architecture"]["64bit"]["url"] ==
          m["autoupdate"]["architecture"]["64bit"]["url"].replace("$version", version)),
         ("the manifests are refused while the homepage is a placeholder",
          lambda: manifests_for("placeholder", **{
              **published, "HALVIK_HOMEPAGE": "https://example.invalid/halvik"}) is None)]
for arch, scoop_arch, winget_arch in ARCHITECTURES:
    signed, unsigned = programs[arch]
    zip_hash = hashlib.sha256((dist / f"halvik-{version}-{arch}.zip").read_bytes()).hexdigest()
    scoop_zip, installer = scoop["architecture"][scoop_arch], installers[winget_arch]
    cases += [(f"{arch}: {name}", check) for name, check in [
        ("the signature verifies against its authority", lambda s=signed: verifies(s, "test-ca")),
        ("but not against another authority", lambda s=signed: not verifies(s, "other-ca")),
        ("nor with one byte of a section flipped",
         lambda s=signed: not verifies(flipped_in_first_section(s), "test-ca")),
        ("a second signing gives the same bytes",
         lambda s=signed, u=unsigned: signed_again(u, signing) == s.read_bytes()),
        ("without a certificate the program stays unsigned",
         lambda u=unsigned: signed_again(u, unsigned_environment) == u.read_bytes()),
        ("the zip holds the signed program, and its SHA256SUMS says so",
         lambda a=arch, s=signed: in_zip(a, "halvik.exe") == s.read_bytes() and
         f"{hashlib.sha256(s.read_bytes()).hexdigest()}  halvik.exe\n"
         in in_zip(a, "SHA256SUMS").decode()),
        ("the zip holds the host scripts for the host and for a prompt",
         lambda a=arch: set(in_zip(a, None)) >=
         {f"halvik-{version}-{a}/close-and-wait.{ext}" for ext in ("cs", "vb", "vbs")}),
        ("Scoop's hash is the zip's and its program is in the zip",
         lambda z=scoop_zip, h=zip_hash, a=arch:
         z["hash"] == h and f"{z['extract_dir']}/{scoop['bin']}" in in_zip(a, None)),
        ("winget's hash is the zip's and its nested program is in the zip",
         lambda i=installer, h=zip_hash, a=arch: i["InstallerSha256"] == h.upper() and
         i["InstallerUrl"].endswith(f"/halvik-{version}-{a}.zip") and
         all(f["RelativeFilePath"].replace("\\", "/") in in_zip(a, None)
             for f in i["NestedInstallerFiles"])),
    ]]

failed = 0
for name, check in cases:
    try:
        passed = bool(check())
    except (KeyError, OSError, subprocess.CalledProcessError) as error:
        print(error)
        passed = False
    failed += not passed
    print(f"{'passed' if passed else 'FAILED'}: {name}")
shutil.rmtree(work)
print(f"{100 * (len(cases) - failed) // len(cases)}% tests passed, {failed} tests failed out of "
      f"{len(cases)}")
