// profile_ini.h — the user's profile (the platform's win.ini) on Linux.
//
// Provides: where the profile lives and how a value is read from it.
// Location: $VELMORA_PROFILE if set, else $XDG_CONFIG_HOME/velmora/win.ini,
// else $HOME/.config/velmora/win.ini. Format: "[Section]" lines and
// "key=value" lines; ';' or '#' starts a comment line; names ignore case;
// blanks around names and values are dropped.
#pragma once

#include <optional>
#include <string>

namespace host::sdl {

std::string ProfilePath();
std::optional<std::string> ReadProfileValue(const std::string& iniText, const std::string& section,
                                            const std::string& key);

}  // namespace host::sdl
