#include "maker_text.h"

#include <windows.h>

namespace kmaker {
namespace {

struct Pair {
  const wchar_t* japanese;
  const wchar_t* english;
};

const Pair kTexts[] = {
    {L"Kestrel メーカー", L"Kestrel Maker"},
    {L"旧バージョン (OLD):", L"Released version (OLD):"},
    {L"新バージョン (NEW):", L"New version (NEW):"},
    {L"作るアップデータ:", L"Updater to write:"},
    {L"参照...", L"Browse..."},
    {L"ウィンドウのタイトル:", L"Window caption:"},
    {L"完了メッセージ:", L"Completion message:"},
    {L"更新前の版の名前:", L"From version label:"},
    {L"更新後の版の名前:", L"To version label:"},
    {L"メッセージの言語:", L"Message language:"},
    {L"ja 日本語、en 英語、auto プレイヤーの Windows の言語",
     L"ja Japanese, en English, auto the player's Windows"},
    {L"アーカイブを NEW と同じ順序に", L"Keep NEW's archive order exactly"},
    {L"リンクをたどる", L"Follow links"},
    {L"署名する (証明書):", L"Sign (certificate):"},
    {L"パスワード:", L"Password:"},
    {L"作成", L"Build"},
    {L"試す", L"Try it"},
    {L"中止", L"Cancel"},
    {L"旧バージョンのフォルダーを選んでください", L"Choose the released version's folder"},
    {L"新バージョンのフォルダーを選んでください", L"Choose the new version's folder"},
    {L"作るアップデータの名前を決めてください", L"Name the updater to write"},
    {L"署名に使う証明書を選んでください", L"Choose the signing certificate"},
    {L"プログラム (*.exe)", L"Programs (*.exe)"},
    {L"証明書 (*.pfx; *.p12)", L"Certificates (*.pfx; *.p12)"},
    {L"アップデータを作成しています", L"Building the updater"},
    {L"アップデータを試しています", L"Trying the updater"},
    {L"完了しました: ", L"Done: "},
    {L"試しました: 新バージョンと同一です", L"Tried: identical to NEW"},
    {L"失敗しました: ", L"Failed: "},
    {L"中止しました。何も書き込んでいません。", L"Cancelled. Nothing was written."},
    {L"旧バージョン、新バージョンと作るアップデータを指定してください。",
     L"Fill in OLD, NEW and the updater to write."},
    {L"署名に使う証明書ファイルを指定してください。", L"Choose the certificate file to sign with."},
    {L"Shift-JIS で表せない文字があります: ", L"Has characters that Shift-JIS cannot hold: "},
    {L"アップデータの元 (kestrel-update.exe) がメーカーと同じフォルダーにありません: ",
     L"The updater stub (kestrel-update.exe) is not beside the maker: "},
    {L"signtool.exe も osslsigncode も PATH にありません",
     L"Neither signtool.exe nor osslsigncode is on the PATH"},
};
static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<int>(Text::kCount),
              "one pair of texts for each Text");

}  // namespace

bool Japanese() {
  static const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
  return japanese;
}

const wchar_t* Say(Text text) {
  const Pair& pair = kTexts[static_cast<int>(text)];
  return Japanese() ? pair.japanese : pair.english;
}

std::wstring FromCp932(const std::string& cp932) {
  if (cp932.empty()) return L"";
  const int size = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()),
                                       nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), &text[0], size);
  return text;
}

std::string ToCp932(const std::wstring& text, bool* ok) {
  if (ok) *ok = true;
  if (text.empty()) return "";
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, &lossy);
  std::string cp932(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &cp932[0], size,
                      nullptr, &lossy);
  if (ok) *ok = !lossy;
  return cp932;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size,
                      nullptr, nullptr);
  return utf8;
}

}  // namespace kmaker
