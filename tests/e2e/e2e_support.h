#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace halvik::e2e {

// A process started by a test; ended, if it still runs, when the test is over.
class StartedProcess {
 public:
  explicit StartedProcess(const std::wstring& commandLine);
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

// A title no other test uses, so that tests may run side by side on one desktop.
std::wstring uniqueTitle(const std::wstring& what);

// The first top-level window whose title is exactly this, waiting up to the time; null if none.
HWND waitForWindow(const std::wstring& title, DWORD milliseconds = 10000);
bool waitUntilNoWindow(const std::wstring& title, DWORD milliseconds);

// The test target program with a window of this title and further options (see target_app.cpp).
struct Target {
  StartedProcess process;
  HWND window;
};
Target startTarget(const std::wstring& title, const std::wstring& options = L"");

// The stand-in host's journal for one test: every call the host received, one line each.
class HostJournal {
 public:
  HostJournal();
  ~HostJournal();
  HostJournal(const HostJournal&) = delete;
  HostJournal& operator=(const HostJournal&) = delete;

  void createVariable(const std::string& name);
  std::vector<std::string> lines() const;
  // The values the variable received, in order.
  std::vector<int> saved(const std::string& name) const;

 private:
  std::wstring path_;
};

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

// Runs halvik.exe with exactly this argument text and waits for it to end; returns the seconds it
// took. The test fails if it does not end within the limit.
double runHalvik(const std::wstring& argumentText, DWORD limitMilliseconds = 150000);

}  // namespace halvik::e2e
