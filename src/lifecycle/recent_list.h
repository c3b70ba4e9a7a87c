// The recent list between runs: a text file of nine lines, one path each
// (an empty line is an empty entry), in the user's configuration directory.
#pragma once

#include <string>

struct Session;

constexpr const char* settings_file_name = "CorvelSettings.txt";

// Sets session.settings_path and fills the recent list from the file. A
// missing or unreadable file leaves the list as it is.
void read_recent_list(Session& session);

// Writes the nine entries to session.settings_path, creating its directory.
// Returns false (the file left as it was) when that is not possible.
bool write_recent_list(const Session& session);
