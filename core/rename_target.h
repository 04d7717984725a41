#pragma once
#include <cstddef>
#include <string>

// What the dialog shows for the target.
struct RenamePrompt {
    std::string prompt;       // Rename "NAME" to:
    std::string initialText;  // the target's current name
    std::size_t selectionEnd; // selection 0..selectionEnd covers the name
};

// Sets the target from the first argument and says what to show.
RenamePrompt PrepareRename();

// What a commit came to. Only a refusal leaves the user's intent undone: an
// empty text renames nothing on purpose, and the unchanged name is already
// the target's, whatever the system answered.
enum class RenameResult { Renamed, NothingToDo, Refused };

// The system's ERROR_FILENAME_EXCED_RANGE: a refusal of a first argument
// longer than an argument keeps, whose cut might name another item.
constexpr unsigned long kArgumentCutError = 206;

struct RenameOutcome {
    RenameResult result;
    unsigned long error; // the system's error code, when Refused
};

// Renames the target to typed, exactly as typed; an empty text renames
// nothing. A target from a cut argument is refused, never renamed.
RenameOutcome CommitRename(const std::string& typed);

// Frees the target state at shutdown.
void ReleaseRenameTarget();

// The directory holding the target, ending in a separator (or empty).
const std::string& DirectoryPrefix();

// The target's own name as the argument spells it (may be empty).
const std::string& TargetName();
