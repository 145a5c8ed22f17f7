#!/usr/bin/env python3
"""Makes a release the way scripts/release.sh does, from one clean build of each release preset
(build/release-check-win32 and -win64) and a throw-away certificate authority: signs each
halvik.exe with scripts/sign.sh, packages it with cpack and writes the manifests with
packaging/write_manifests.py. Then checks the signatures, the zips and the manifests, one case
per line, and ends with a line in ctest's words, which scripts/test.sh counts."""
import hashlib
import json
import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import zipfile

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


def in_zip(arch, name):
    with zipfile.ZipFile(dist / f"halvik-{version}-{arch}.zip") as archive:
        return archive.read(f"halvik-{version}-{arch}/{name}") if name else archive.namelist()


unsigned_environment = {k: v for k, v in os.environ.items() if not k.startswith("HALVIK_SIGN")}
certificate("test-ca")
certificate("other-ca")
certificate("signer", "-CA", work / "test-ca.pem", "-CAkey", work / "test-ca.key",
            "-addext", "basicConstraints=CA:FALSE", "-addext", "extendedKeyUsage=codeSigning")
signing = {**unsigned_environment, "HALVIK_SIGN_PKCS12": str(work / "signer.p12"),
           "HALVIK_SIGN_PASSWORD": "pw"}
run("openssl", "pkcs12", "-export", "-inkey", work / "signer.key", "-in", work / "signer.pem",
    "-out", signing["HALVIK_SIGN_PKCS12"], "-passout", "env:HALVIK_SIGN_PASSWORD", env=signing)
programs = {arch: release_build(arch) for arch in ("win32", "win64")}
run("python3", root / "packaging/write_manifests.py", root / "build/release-check-win64", dist)
scoop = json.loads((dist / "halvik.json").read_text())
winget = [yaml.safe_load(path.read_text()) for path in sorted((dist / "winget").glob("*.yaml"))]
installers = {i["Architecture"]: i for m in winget for i in m.get("Installers", [])}

cases = [("the manifests carry the project's version",
          lambda: {scoop["version"]} | {m["PackageVersion"] for m in winget} == {version})]
for arch, scoop_arch, winget_arch in (("win32", "32bit", "x86"), ("win64", "64bit", "x64")):
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
