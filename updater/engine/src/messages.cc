#include "engine/messages.h"

#include "platform/text.h"

namespace updater {
namespace {

struct Translation {
  const char* japanese;
  const char* english;
};

// Plain and short, as a player reads them in a message box.
constexpr Translation kEnglish[] = {
    {kWindowTitle, "Kestrel Updater"},
    {kMsgOutOfMemory, "There is not enough memory."},
    {kMsgCannotOpen, "The file cannot be opened."},
    {kMsgCannotOpenArchive, "The file (%s) cannot be opened."},
    {kMsgCannotRead, "The file cannot be read."},
    {kMsgCannotWrite, "The file cannot be written."},
    {kMsgCannotCreateFile, "The file (%s) cannot be created."},
    {kMsgCannotCreateDirectory, "The folder cannot be created."},
    {kMsgCannotDelete, "The file (%s) cannot be deleted."},
    {kMsgCannotAddEntry, "The file (%s) cannot be written."},
    {kMsgCannotWriteArchive, "The file could not be written."},
    {kMsgCannotSwapArchive, "The data file cannot be created."},
    {kMsgCompleted, "The update from the Q18 version to the press version is complete."},
    {kMsgAlreadyApplied, "This update has already been applied."},
    {kMsgWrongVersion, "This update does not fit the version of the game in this folder. (%s)"},
    {kMsgFilesInUse,
     "Another program, probably the game, is using a file. Close it, then press Retry. (%s)"},
    {kMsgNeedsAdministrator, "The update needs administrator rights to write to this folder."},
    {kMsgNoSpace, "Not enough free disk space. (%s)"},
    {kSpaceFigures, "needed %s MB, free %s MB"},
    {kMsgUsage,
     "Unknown switch: %s\n\nUsage: kestrel-update.exe [/S] [/log=FILE]\n"
     "/S, /silent: update without any window\n"
     "/log=FILE: write a log of the run (UTF-8) to FILE"},
    {kStatusUpdating, "Updating"},
    {kStatusRebuilding, "Rebuilding the resource file"},
};

}  // namespace

const char* InEnglish(const char* text) {
  for (const Translation& t : kEnglish)
    if (t.japanese == text) return t.english;
  return text;
}

bool UserInterfaceIsJapanese() { return platform::UserLanguageIsJapanese(); }

}  // namespace updater
