// The updater's own texts: cp932 bytes, shown as they stand (message
// boxes, the status line). The readable text is beside each constant.
// Texts with "%s" are formats for the error routine. Each has an English
// form (messages.cc) that a payload's manifest can choose instead.
#ifndef ENGINE_MESSAGES_H_
#define ENGINE_MESSAGES_H_

namespace updater {

// Kestrel アップデータ
inline constexpr char kWindowTitle[] =
    "Kestrel \x83" "A\x83" "b\x83v\x83" "f\x81[\x83^";
// メモリが足りません
inline constexpr char kMsgOutOfMemory[] =
    "\x83\x81\x83\x82\x83\x8a\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1";
// ファイルが開けません
inline constexpr char kMsgCannotOpen[] =
    "\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x8aJ\x82\xaf\x82\xdc\x82\xb9\x82\xf1";
// ファイル(%s)が開けません
inline constexpr char kMsgCannotOpenArchive[] =
    "\x83t\x83@\x83" "C\x83\x8b(%s)\x82\xaa\x8aJ\x82\xaf\x82\xdc\x82\xb9\x82\xf1";
// ファイルが読み込めません
inline constexpr char kMsgCannotRead[] =
    "\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1";
// ファイルが書き出せません
inline constexpr char kMsgCannotWrite[] =
    "\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x8f\x91\x82\xab\x8fo\x82\xb9\x82\xdc\x82\xb9\x82\xf1";
// ファイル(%s)が作成できません
inline constexpr char kMsgCannotCreateFile[] =
    "\x83t\x83@\x83" "C\x83\x8b(%s)\x82\xaa\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// ディレクトリを作成できません
inline constexpr char kMsgCannotCreateDirectory[] =
    "\x83" "f\x83" "B\x83\x8c\x83N\x83g\x83\x8a\x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// ファイル(%s)が削除できません
inline constexpr char kMsgCannotDelete[] =
    "\x83t\x83@\x83" "C\x83\x8b(%s)\x82\xaa\x8d\xed\x8f\x9c\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1";
// ファイル(%s)を書き出せません
inline constexpr char kMsgCannotAddEntry[] =
    "\x83t\x83@\x83" "C\x83\x8b(%s)\x82\xf0\x8f\x91\x82\xab\x8fo\x82\xb9\x82\xdc\x82\xb9\x82\xf1";
// ファイルが書き出せなかった
inline constexpr char kMsgCannotWriteArchive[] =
    "\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x8f\x91\x82\xab\x8fo\x82\xb9\x82\xc8\x82\xa9\x82\xc1\x82\xbd";
// データファイルが作成できません。
inline constexpr char kMsgCannotSwapArchive[] =
    "\x83" "f\x81[\x83^\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x81" "B";
// Q18版からプレス版へのアップデートが完了しました。
inline constexpr char kMsgCompleted[] =
    "Q18\x94\xc5\x82\xa9\x82\xe7\x83v\x83\x8c\x83X\x94\xc5\x82\xd6\x82\xcc\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xaa\x8a\xae\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81" "B";
// このアップデートは既に適用されています。
inline constexpr char kMsgAlreadyApplied[] =
    "\x82\xb1\x82\xcc\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xcd\x8a\xf9\x82\xc9\x93K\x97p\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb7\x81" "B";
// お使いのゲームのバージョンにはこのアップデートを適用できません。(%s)
inline constexpr char kMsgWrongVersion[] =
    "\x82\xa8\x8eg\x82\xa2\x82\xcc\x83Q\x81[\x83\x80\x82\xcc\x83o\x81[\x83W\x83\x87\x83\x93\x82\xc9\x82\xcd\x82\xb1\x82\xcc\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xf0\x93K\x97p\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x81" "B(%s)";
// アップデート中
inline constexpr char kStatusUpdating[] =
    "\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x92\x86";
// リソースファイルの再構築中
inline constexpr char kStatusRebuilding[] =
    "\x83\x8a\x83\x5c\x81[\x83X\x83t\x83@\x83" "C\x83\x8b\x82\xcc\x8d\xc4\x8d\x5c\x92z\x92\x86";

// The language the texts above are shown in.
enum class Language { kJapanese, kEnglish };

// The English form of one of the texts above, with its "%s" in the same
// place ("The file (%s) cannot be opened."); any other text unchanged.
// Texts are told by their address: pass the constants themselves.
const char* InEnglish(const char* text);
// `text` in `language`.
inline const char* InLanguage(const char* text, Language language) {
  return language == Language::kEnglish ? InEnglish(text) : text;
}

// Whether the user's interface language is Japanese (a manifest's "auto":
// Japanese then, English otherwise).
bool UserInterfaceIsJapanese();

}  // namespace updater

#endif  // ENGINE_MESSAGES_H_
