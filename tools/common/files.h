// files.h -- whole files written with the system's reason on failure, and
// paths joined as a person writes them.
#pragma once

#include <cstddef>
#include <string>

// Creates or truncates path and writes size bytes. False with *why set to
// the system's reason ("No space left on device", "Permission denied", ...).
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* why);

// folder + "/" + name, with one slash however folder ends; "." and ""
// give the name alone.
std::string JoinPath(const std::string& folder, const std::string& name);
