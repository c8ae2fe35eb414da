#include "code_signing.h"

#include <windows.h>

#include "interrupt.h"
#include "maker_text.h"
#include "patchlib/console.h"

namespace kmaker {
namespace {

std::wstring Found(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD length = SearchPathW(nullptr, name, L".exe", MAX_PATH, path, nullptr);
  return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

// The name of a program without its folder and extension, in lower case.
std::wstring BaseName(const std::wstring& path) {
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  CharLowerW(&name[0]);
  return name;
}

// One argument quoted the way the C runtime splits a command line.
std::wstring Quote(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

std::string FindSigner() {
  std::wstring found = Found(L"signtool.exe");
  if (found.empty()) found = Found(L"osslsigncode");
  return ToCp932(found);
}

bool SignFile(const std::string& signer, const std::string& certificate,
              const std::string& password, const std::string& in, const std::string& out,
              std::string* error) {
  const std::wstring program = FromCp932(signer);
  std::wstring command = Quote(program);
  if (BaseName(program) == L"signtool") {
    // signtool signs in place: a copy of the packed updater.
    if (!CopyFileW(FromCp932(in).c_str(), FromCp932(out).c_str(), FALSE)) {
      *error = patchlib::Show(out) + ": cannot write the file to sign";
      return false;
    }
    command += L" sign /fd SHA256 /f " + Quote(FromCp932(certificate));
    if (!password.empty()) command += L" /p " + Quote(FromCp932(password));
    command += L" " + Quote(FromCp932(out));
  } else {
    command += L" sign -h sha256 -pkcs12 " + Quote(FromCp932(certificate));
    if (!password.empty()) command += L" -pass " + Quote(FromCp932(password));
    command += L" -in " + Quote(FromCp932(in)) + L" -out " + Quote(FromCp932(out));
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process)) {
    *error = patchlib::Show(signer) + ": cannot be started";
    return false;
  }
  CloseHandle(process.hThread);
  while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
    if (tools::StopWasRequested()) {
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, INFINITE);
      CloseHandle(process.hProcess);
      tools::ThrowIfStopRequested();
    }
  }
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  if (status != 0) {
    *error = patchlib::Show(signer) + " could not sign " + patchlib::Show(in) +
             " (exit status " + std::to_string(status) +
             "): is the certificate file and its password right?";
    return false;
  }
  return true;
}

}  // namespace kmaker
