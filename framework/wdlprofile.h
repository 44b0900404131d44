#pragma once

// INI profile functions: "[section]" lines followed by "key=value" lines. Sections and keys are compared
// without regard to case and kept, and written, in case-insensitive sorted order, each section followed
// by one empty line. Reads use a parse of the file that is refreshed when the file changes. Every write
// rewrites the whole file through a temporary file beside it ("." + name + ".new", held under an
// exclusive lock) and a rename, so readers never see a partial file; when the path is a symbolic link,
// its target is the file rewritten. One process-wide mutex serialises all calls.

// Copies the value of key in section to buf (at most size - 1 characters and a terminating zero), or def
// when the file, the section or the key is missing. Returns the number of characters copied.
int GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, int size,
                            const char* file);

// Sets key in section to value (an empty value is written as "key="); a null value removes the key and a
// null key removes the whole section. Keys with an empty name, and names or values that would break the
// line format (line breaks; "]" in a section, "=" in a key), are refused. Returns whether the file was
// written.
bool WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file);

// Replaces every key of section by the "key=value" entries of strings, a list of zero-terminated entries
// ended by an empty one ("" empties the section). Emptying a section the file does not hold writes
// nothing. Returns false if an entry is malformed or the file cannot be written.
bool WritePrivateProfileSection(const char* section, const char* strings, const char* file);
