// The per-user folders Corvel keeps its files in, after the XDG base
// directory rules: settings under $XDG_CONFIG_HOME, saves under
// $XDG_DATA_HOME, each with its usual default below the home directory.
#pragma once

#include <string>

// The value of an environment variable, empty when it is not set.
std::string environment(const char* name);

// $HOME, or the home directory of the user's account entry, or ".".
std::string home_directory();

// The directory that holds the settings file: $CORVEL_CONFIG_DIR when set,
// else $XDG_CONFIG_HOME/corvel, else ~/.config/corvel.
std::string settings_directory();

// The per-user saves folder: $XDG_DATA_HOME/corvel/saves, else
// ~/.local/share/corvel/saves. Not created here.
std::string saves_directory();

// The user's pictures folder: $XDG_PICTURES_DIR when set, else the
// XDG_PICTURES_DIR line of $XDG_CONFIG_HOME/user-dirs.dirs (with $HOME
// expanded), else ~/Pictures. Not created here.
std::string pictures_directory();

// The folder a user-dirs.dirs text names for XDG_PICTURES_DIR, with $HOME
// replaced by home; empty when the text names none.
std::string pictures_directory_in(const std::string& user_dirs_text, const std::string& home);
