#include "core/rename_target.h"

#include "core/arguments.h"
#include "util/path.h"
#include "util/platform.h"

namespace {

// The run's one target, written by PrepareRename only.
std::string g_directoryPrefix;
std::string g_targetName;
bool g_argumentCut = false;

} // namespace

RenamePrompt PrepareRename() {
    const ArgumentToken first = ArgumentTokenAt(1);
    g_argumentCut = first.cut;
    g_directoryPrefix = DirectoryPart(first.argument);
    g_targetName = FileNamePart(first.argument);
    if (g_directoryPrefix.empty()) {
        g_directoryPrefix = CurrentDirectory();
        if (!g_directoryPrefix.empty() && !EndsInBackslash(g_directoryPrefix)) g_directoryPrefix += '\\';
    }
    return {"Rename \"" + g_targetName + "\" to:", g_targetName, g_targetName.size()};
}

RenameOutcome CommitRename(const std::string& typed) {
    const std::string existing = g_directoryPrefix + g_targetName;
    if (typed.empty()) return {RenameResult::NothingToDo, 0};
    // The cut may end where another item's name ends ("report.txt" of
    // "report.txt.bak"): the shown name is not the target's.
    if (g_argumentCut) return {RenameResult::Refused, kArgumentCutError};
    const std::string replacement = g_directoryPrefix + typed;
    const MoveResult move = PlatformMoveFile(existing.c_str(), replacement.c_str());
    if (typed == g_targetName) return {RenameResult::NothingToDo, 0};
    if (!move.moved) return {RenameResult::Refused, move.error};
    return {RenameResult::Renamed, 0};
}

void ReleaseRenameTarget() {
    std::string().swap(g_directoryPrefix);
    std::string().swap(g_targetName);
    g_argumentCut = false;
}

const std::string& DirectoryPrefix() { return g_directoryPrefix; }

const std::string& TargetName() { return g_targetName; }
