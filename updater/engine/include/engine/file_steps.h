// Steps on the game folder that another program may hold up for a moment.
//
// A virus scanner, the search indexer or the game itself opens a file the
// update is about to rename or delete, and for a few milliseconds Windows
// refuses (a sharing violation, access denied). Such a refusal is tried
// again a few times over about one and a half seconds; any other failure
// once more at once, so one passing fault does not fail a step.
#ifndef ENGINE_FILE_STEPS_H_
#define ENGINE_FILE_STEPS_H_

#include <functional>

namespace updater {

// Runs `step` until it answers true, as above. True when it did.
bool Retried(const std::function<bool()>& step);

// Deletes the file or link `path`, clearing its read-only attribute first
// (a game copied from a disc carries it on every file), with Retried.
// False when it stays.
bool DeleteLooseFile(const char* path);

// Renames `from` to `to` (never replacing), with Retried.
bool RenameLooseFile(const char* from, const char* to);

}  // namespace updater

#endif  // ENGINE_FILE_STEPS_H_
