// The maker's words, in Japanese, or in English when the user's UI
// language is not Japanese; and the crossing between the window's UTF-16
// and the cp932 that paths and texts are above the platform seam.
#ifndef TOOLS_KESTREL_MAKER_MAKER_TEXT_H_
#define TOOLS_KESTREL_MAKER_MAKER_TEXT_H_

#include <string>

namespace kmaker {

enum class Text {
  kTitle,
  kOld,
  kNew,
  kOutput,
  kBrowse,
  kCaption,
  kCompletion,
  kFromLabel,
  kToLabel,
  kLanguage,
  kLanguageChoices,
  kExactOrder,
  kFollowLinks,
  kSign,
  kPassword,
  kBuild,
  kTry,
  kCancel,
  kPickOld,
  kPickNew,
  kPickOutput,
  kPickCertificate,
  kProgramFiles,
  kCertificateFiles,
  kBuilding,
  kTrying,
  kBuilt,
  kTried,
  kFailed,
  kCancelled,
  kNeedFolders,
  kNeedCertificate,
  kNotCp932,
  kNoStub,
  kNoSigner,
  kCount
};

// Whether the window speaks Japanese: the user's UI language is Japanese.
bool Japanese();

// The text in the window's language.
const wchar_t* Say(Text text);

// cp932 to UTF-16 and back with code page 932, whatever the system code
// page. ToCp932 gives false in `ok` when a character has no cp932 code.
std::wstring FromCp932(const std::string& cp932);
std::string ToCp932(const std::wstring& text, bool* ok = nullptr);
// UTF-16 to UTF-8 (the manifest's texts).
std::string ToUtf8(const std::wstring& text);

}  // namespace kmaker

#endif  // TOOLS_KESTREL_MAKER_MAKER_TEXT_H_
