#include "file_dialogs.h"

#include <shobjidl.h>

namespace kmaker {
namespace {

// Releases a COM interface when it goes.
template <class T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
};

// Starts the dialog in `start`: the folder itself, or the folder a file
// path stands in.
void SetStart(IFileDialog* dialog, const std::wstring& start, bool is_file) {
  if (start.empty()) return;
  std::wstring folder = start;
  if (is_file) {
    const std::size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    dialog->SetFileName(folder.substr(slash + 1).c_str());
    folder.resize(slash);
  }
  Com<IShellItem> item;
  if (SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(&item.p))))
    dialog->SetFolder(item.p);
}

std::wstring Run(IFileDialog* dialog, HWND owner) {
  if (FAILED(dialog->Show(owner))) return L"";  // cancelled, or no dialog
  Com<IShellItem> item;
  if (FAILED(dialog->GetResult(&item.p))) return L"";
  wchar_t* path = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return L"";
  std::wstring result = path;
  CoTaskMemFree(path);
  return result;
}

}  // namespace

std::wstring PickFolder(HWND owner, const wchar_t* title, const std::wstring& start) {
  Com<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&dialog.p))))
    return L"";
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(title);
  SetStart(dialog.p, start, false);
  return Run(dialog.p, owner);
}

std::wstring PickFile(HWND owner, const wchar_t* title, const std::wstring& start, bool save,
                      const wchar_t* filter_name, const wchar_t* pattern) {
  Com<IFileDialog> dialog;
  if (FAILED(CoCreateInstance(save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr,
                              CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.p))))
    return L"";
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options |= FOS_FORCEFILESYSTEM;
  dialog->SetOptions(save ? options | FOS_OVERWRITEPROMPT : options | FOS_FILEMUSTEXIST);
  dialog->SetTitle(title);
  const COMDLG_FILTERSPEC filter = {filter_name, pattern};
  dialog->SetFileTypes(1, &filter);
  if (save) {
    // "*.exe" -> "exe"
    std::wstring extension = pattern;
    extension = extension.substr(extension.find_last_of(L'.') + 1);
    dialog->SetDefaultExtension(extension.c_str());
  }
  SetStart(dialog.p, start, true);
  return Run(dialog.p, owner);
}

}  // namespace kmaker
