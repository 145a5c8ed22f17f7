#include "e2e_support.h"

#include "stand_in_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>

namespace halvik::e2e {
namespace {

constexpr DWORD PollMilliseconds = 50;

struct TitleSearch {
  const std::wstring* title;
  HWND found;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM search) {
  auto* wanted = reinterpret_cast<TitleSearch*>(search);
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  if (*wanted->title != text) return TRUE;
  wanted->found = window;
  return FALSE;
}

HWND findWindow(const std::wstring& title) {
  TitleSearch search{&title, nullptr};
  EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

StartedProcess::StartedProcess(const std::wstring& commandLine, HANDLE output) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION started{};
  std::wstring writable = commandLine;
  if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                      nullptr, &startup, &started)) {
    ADD_FAILURE() << "cannot start (error " << GetLastError()
                  << "): " << std::string(commandLine.begin(), commandLine.end());
    return;
  }
  CloseHandle(started.hThread);
  process_.reset(started.hProcess);
  id_ = started.dwProcessId;
}

StartedProcess::~StartedProcess() {
  if (process_ && !waitForExit(0) && TerminateProcess(process_.get(), 1)) waitForExit(5000);
}

bool StartedProcess::waitForExit(DWORD milliseconds) const {
  return process_ && WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
}

DWORD StartedProcess::exitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

std::wstring binaryPath(const std::wstring& fileName) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring directory = self;
  return directory.substr(0, directory.find_last_of(L"\\/") + 1) + fileName;
}

std::wstring temporaryDirectory() {
  wchar_t directory[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, directory);
  return directory;
}

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring uniqueTitle(const std::wstring& what) {
  static std::atomic<int> counter{0};
  return L"Halvik test " + what + L" " + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(++counter);
}

HWND waitForWindow(const std::wstring& title, DWORD milliseconds) {
  const ULONGLONG due = GetTickCount64() + milliseconds;
  for (;;) {
    if (HWND window = findWindow(title)) return window;
    if (GetTickCount64() >= due) return nullptr;
    Sleep(PollMilliseconds);
  }
}

bool waitUntilNoWindow(const std::wstring& title, DWORD milliseconds) {
  const ULONGLONG due = GetTickCount64() + milliseconds;
  while (findWindow(title) != nullptr) {
    if (GetTickCount64() >= due) return false;
    Sleep(PollMilliseconds);
  }
  return true;
}

ProgramCopy::ProgramCopy(const std::wstring& fileName, const std::wstring& copyName) {
  static std::atomic<int> counter{0};
  directory_ = temporaryDirectory() + L"halvik-copy-" + std::to_wstring(GetCurrentProcessId()) +
               L"." + std::to_wstring(++counter);
  path_ = directory_ + L"\\" + copyName;
  if (!CreateDirectoryW(directory_.c_str(), nullptr) ||
      !CopyFileW(binaryPath(fileName).c_str(), path_.c_str(), TRUE)) {
    ADD_FAILURE() << "cannot copy " << std::string(fileName.begin(), fileName.end()) << " (error "
                  << GetLastError() << ")";
  }
}

ProgramCopy::~ProgramCopy() {
  DeleteFileW(path_.c_str());
  RemoveDirectoryW(directory_.c_str());
}

Target startTarget(const std::wstring& title, const std::wstring& options,
                   const std::wstring& program) {
  Target target{
      StartedProcess(quoted(program) + L" " + quoted(L"--title=" + title) + L" " + options),
      nullptr};
  target.window = waitForWindow(title);
  EXPECT_NE(target.window, nullptr) << "the target's window did not appear";
  return target;
}

namespace {

// The directory of the stand-in host's journals, named where the host finds it.
std::wstring journalDirectory() {
  const std::wstring directory = temporaryDirectory() + L"halvik-host";
  CreateDirectoryW(directory.c_str(), nullptr);
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Halvik\\StandInHost", L"Journals", REG_SZ,
                  directory.c_str(), static_cast<DWORD>((directory.size() + 1) * sizeof(wchar_t)));
  return directory;
}

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

}  // namespace

HostJournal::HostJournal(HostKind kind)
    : outOfProcess_(L"HALVIK_HOST_OUT_OF_PROCESS", kind == HostKind::OutOfProcess ? L"1" : L"0") {
  static std::atomic<int> counter{0};
  name_ = L"State" + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(++counter);
  stem_ = journalDirectory() + L"\\" + name_;
  DeleteFileW((stem_ + L".txt").c_str());
  DeleteFileW((stem_ + L".mode").c_str());
}

// A host call left hanging by the test ends with it.
HostJournal::~HostJournal() {
  const win32::UniqueHandle release(
      CreateEventW(nullptr, TRUE, TRUE, stand_in_host::ReleaseEventName(name_).c_str()));
  if (release) SetEvent(release.get());
  DeleteFileW((stem_ + L".txt").c_str());
  DeleteFileW((stem_ + L".mode").c_str());
}

void HostJournal::createVariable() const {
  std::ofstream((stem_ + L".txt").c_str(), std::ios::app) << "CreateVar\n";
}

void HostJournal::setMode(const std::string& mode) const {
  std::ofstream((stem_ + L".mode").c_str()) << mode;
}

std::vector<std::string> HostJournal::allLines() const {
  std::ifstream journal((stem_ + L".txt").c_str());
  std::vector<std::string> all;
  for (std::string line; std::getline(journal, line);) all.push_back(line);
  return all;
}

std::vector<std::string> HostJournal::lines() const {
  std::vector<std::string> calls;
  for (const auto& line : allLines()) {
    if (!startsWith(line, "Types\t")) calls.push_back(line);
  }
  return calls;
}

std::vector<std::string> HostJournal::argumentTypes() const {
  std::vector<std::string> types;
  for (const auto& line : allLines()) {
    if (startsWith(line, "Types\t")) types.push_back(line.substr(6));
  }
  return types;
}

std::vector<int> HostJournal::saved() const {
  std::vector<int> values;
  for (const auto& line : lines()) {
    if (startsWith(line, "SaveVar\t")) values.push_back(std::stoi(line.substr(8)));
  }
  return values;
}

// The output goes to a file rather than a pipe: a pipe's reader would wait for every process
// that inherited it, and the command may start some that outlive it.
std::string outputOf(const std::wstring& commandLine, DWORD limitMilliseconds) {
  wchar_t path[MAX_PATH] = {};
  GetTempFileNameW(temporaryDirectory().c_str(), L"out", 0, path);
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  const HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot make a file for the output (error " << GetLastError() << ")";
    return {};
  }
  {
    const win32::UniqueHandle output(file);
    const StartedProcess process(commandLine, output.get());
    EXPECT_TRUE(process.waitForExit(limitMilliseconds)) << "the command did not end in time";
  }
  std::ifstream written_file(path, std::ios::binary);
  std::string written((std::istreambuf_iterator<char>(written_file)),
                      std::istreambuf_iterator<char>());
  written_file.close();
  DeleteFileW(path);
  return written;
}

double runHalvik(const std::wstring& argumentText, DWORD limitMilliseconds) {
  const ULONGLONG started = GetTickCount64();
  StartedProcess halvik(quoted(binaryPath(L"halvik.exe")) + L" " + argumentText);
  EXPECT_TRUE(halvik.waitForExit(limitMilliseconds)) << "halvik.exe did not end in time";
  return static_cast<double>(GetTickCount64() - started) / 1000.0;
}

}  // namespace halvik::e2e
