// The system's common item dialogs, for the maker's Browse buttons.
#ifndef TOOLS_KESTREL_MAKER_FILE_DIALOGS_H_
#define TOOLS_KESTREL_MAKER_FILE_DIALOGS_H_

#include <windows.h>

#include <string>

namespace kmaker {

// A folder picked with the open dialog (FOS_PICKFOLDERS), starting at
// `start` when it is one; "" when the user cancels.
std::wstring PickFolder(HWND owner, const wchar_t* title, const std::wstring& start);

// A file to open (`filter_name` for `pattern`, such as "*.pfx"), or with
// `save` a file name to write (the extension `pattern` has is added when
// none is typed); "" when the user cancels.
std::wstring PickFile(HWND owner, const wchar_t* title, const std::wstring& start, bool save,
                      const wchar_t* filter_name, const wchar_t* pattern);

}  // namespace kmaker

#endif  // TOOLS_KESTREL_MAKER_FILE_DIALOGS_H_
