#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace halvik::e2e {

// A process started by a test; ended, if it still runs, when the test is over, and gone by the
// time the object is.
class StartedProcess {
 public:
  // With an output handle, the process writes its standard output there.
  explicit StartedProcess(const std::wstring& commandLine, HANDLE output = nullptr);
  ~StartedProcess();
  StartedProcess(StartedProcess&&) = default;
  StartedProcess& operator=(StartedProcess&&) = default;

  DWORD id() const { return id_; }
  // True when the process ended within the time.
  bool waitForExit(DWORD milliseconds) const;
  DWORD exitCode() const;

 private:
  win32::UniqueHandle process_;
  DWORD id_ = 0;
};

std::wstring binaryPath(const std::wstring& fileName);
// The directory for temporary files, ending in a backslash.
std::wstring temporaryDirectory();
// The text in double quotes, as one argument of a command line.
std::wstring quoted(const std::wstring& text);

// A title no other test uses, so that tests may run side by side on one desktop.
std::wstring uniqueTitle(const std::wstring& what);

// The first top-level window whose title is exactly this, waiting up to the time; null if none.
HWND waitForWindow(const std::wstring& title, DWORD milliseconds = 10000);
bool waitUntilNoWindow(const std::wstring& title, DWORD milliseconds);

// A copy of a program of this build under another file name, in a directory of its own. Both go
// with the object, so the processes started from the copy must be gone by then.
class ProgramCopy {
 public:
  ProgramCopy(const std::wstring& fileName, const std::wstring& copyName);
  ~ProgramCopy();
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;

  const std::wstring& path() const { return path_; }

 private:
  std::wstring directory_;
  std::wstring path_;
};

// The test target program with a window of this title and further options (see target_app.cpp),
// started from this build's target_app.exe or from a copy of it.
struct Target {
  StartedProcess process;
  HWND window;
};
Target startTarget(const std::wstring& title, const std::wstring& options = L"",
                   const std::wstring& program = binaryPath(L"target_app.exe"));

// Sets an environment variable that the programs a test starts inherit, for the test's length.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_, nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const wchar_t* name_;
};

// Which of the stand-in hosts a test reports to: the DLL in Halvik's own process, or the server
// program in a process of its own, as the real host runs.
enum class HostKind { InProcess, OutOfProcess };
inline void PrintTo(HostKind kind, std::ostream* out) {
  *out << (kind == HostKind::InProcess ? "in process" : "out of process");
}

// One host variable for one test, named as no other test names one, and its journal: every call
// the stand-in host received for it, one line each ("SaveVar\t0", "GetVar", …).
class HostJournal {
 public:
  explicit HostJournal(HostKind kind = HostKind::InProcess);
  ~HostJournal();
  HostJournal(const HostJournal&) = delete;
  HostJournal& operator=(const HostJournal&) = delete;

  const std::wstring& name() const { return name_; }
  // The host knows the variable before the run.
  void createVariable() const;
  // "fail": every call on the variable fails; "hang": no call on it ever answers; and the modes
  // in which the in-process host misbehaves otherwise (see stand_in_host.h).
  void setMode(const std::string& mode) const;
  std::vector<std::string> lines() const;
  // How each call passed its arguments: "SaveVar\tref BSTR, ref I2", …
  std::vector<std::string> argumentTypes() const;
  // The values the variable received, in order.
  std::vector<int> saved() const;

 private:
  std::vector<std::string> allLines() const;

  std::wstring stem_;  // the journal's path without its extension
  std::wstring name_;
  ScopedEnvironment outOfProcess_;
};

// Runs the command and waits up to the time for it to end; returns what it wrote to its standard
// output. The test fails if it does not end in time.
std::string outputOf(const std::wstring& commandLine, DWORD limitMilliseconds);

// Runs halvik.exe with exactly this argument text and waits for it to end; returns the seconds it
// took. The test fails if it does not end within the limit.
double runHalvik(const std::wstring& argumentText, DWORD limitMilliseconds = 150000);

}  // namespace halvik::e2e
