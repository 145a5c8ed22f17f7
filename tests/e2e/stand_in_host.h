#pragma once

// Stand-in for the home-automation host's "homeseer.application" automation object, so that
// Halvik can be exercised under Wine without the real host. One object, served two ways: by
// stand_in_host.dll in the caller's process, and by stand_in_host_server.exe in a process of its
// own, as the real host serves it.
//
// Every call is journaled per variable, in the file <variable>.txt of the directory named by the
// registry value HKCU\Software\Halvik\StandInHost\Journals: a server started by COM need not see
// the caller's environment, so the registry is where both find it. The journal is also the only
// state: it is re-read on every call, and a test may seed it with a line "CreateVar". A file
// <variable>.mode beside it holds "fail" to make every call on the variable fail, or "hang" to
// make it answer only when the event named by ReleaseEventName is set, and then with a failure.
// Three more modes answer every call as usual but misbehave in the caller's process, where only
// the DLL can: "silent-window" has the first call start a thread that shows a titled top-level
// window and then reads no more messages; "endless-release" makes the object's final Release, and
// "endless-unload" the DLL's detach, never return. Each holds out until the event named by
// ReleaseEventName is set.

#include <windows.h>

#include <unknwn.h>

#include <string>

namespace stand_in_host {

// {87AE71F0-CD12-4097-96B0-EA5144124DE7}
constexpr CLSID ClassId = {
    0x87ae71f0, 0xcd12, 0x4097, {0x96, 0xb0, 0xea, 0x51, 0x44, 0x12, 0x4d, 0xe7}};
constexpr wchar_t ClassIdText[] = L"{87AE71F0-CD12-4097-96B0-EA5144124DE7}";
constexpr wchar_t ProgId[] = L"homeseer.application";
constexpr wchar_t JournalsKey[] = L"Software\\Halvik\\StandInHost";
constexpr wchar_t JournalsValue[] = L"Journals";

IClassFactory* factory();
bool objectsAlive();
// How long no object has been created and no call has been under way.
ULONGLONG idleMilliseconds();
// In the DLL's detach: holds it for as long as a call's "endless-unload" says.
void holdUnloadIfTold();
inline std::wstring ReleaseEventName(const std::wstring& variable) {
  return L"Local\\HalvikStandInHostRelease-" + variable;
}

}  // namespace stand_in_host
