// The updater's progress dialog against its table (template 101): in the executable's
// resources, and live on the screen.
#ifndef TESTS_E2E_DIALOG_CHECK_H_
#define TESTS_E2E_DIALOG_CHECK_H_

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

constexpr int kIdProgress = 1001;
constexpr int kIdName = 1002;
constexpr int kIdStatus = 1003;
constexpr int kRange = 30000;  // the bar's range: 0 to 30000
extern const wchar_t kTitle[];  // "Kestrel アップデータ"

// Reads dialog template 101 from `exe` (loaded as data) into `tmpl` and appends every
// difference from the table to `problems` (UTF-8): styles, position and size, caption, font,
// and each item's identifier, class, style, place and text. Icon group 102 must exist.
void CheckTemplate(const std::wstring& exe, std::vector<std::string>* problems,
                   std::vector<BYTE>* tmpl);

// The live dialog: caption, style (no system menu, no sizing frame), no owner, the items'
// classes, the bar's range; and each item's place and style against a hidden twin made here
// from the same template (`tmpl`), since the controls adjust their styles as they are made.
// Its icon cannot be asked from outside (Wine answers WM_GETICON only within the process).
// `caption`, when not empty, is a title the maker chose: the dialog may show it instead of
// the template's.
void CheckLiveDialog(HWND dialog, const std::vector<BYTE>& tmpl,
                     std::vector<std::string>* problems, const std::wstring& caption = L"");

}  // namespace e2e

#endif  // TESTS_E2E_DIALOG_CHECK_H_
