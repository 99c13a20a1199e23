// The folders the system reads from and writes to. Nothing here creates a folder; whoever writes
// into one creates it. Empty variables count as unset, and relative XDG_* values are ignored (as the
// XDG rules demand); without $HOME the user database's home folder is taken.
#pragma once

#include <filesystem>

namespace platform
{

// $NORVANE_CONFIG_DIR, else ${XDG_CONFIG_HOME:-$HOME/.config}/norvane (holds the settings hives).
std::filesystem::path ConfigDir();
// ${XDG_STATE_HOME:-$HOME/.local/state}/norvane (trace logs and other files written at run time).
std::filesystem::path StateDir();
// "My Documents": $XDG_DOCUMENTS_DIR, else $HOME/Documents.
std::filesystem::path DocumentsDir();
// Folder of the running executable (files kept "beside the executable" are read from here).
std::filesystem::path ExecutableDir();
// The system's temporary folder ($TMPDIR, else /tmp).
std::filesystem::path TempDir();

} // namespace platform
