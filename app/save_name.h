// The names the two save commands write to. Paths use backslashes, as the save dialog gives them.
#pragma once

#include <string>

// Splits a path at its last backslash: the folder (with the backslash) and the name.
void save_split_path(const std::string& path, std::string* folder, std::string* name);

// The path "Avec un nouveau nom" writes: the chosen path, with ".jpg" appended unless it already
// ends with ".jpg" in any case ("photo" -> "photo.jpg", "photo.JPG" kept, "photo.jpeg" ->
// "photo.jpeg.jpg").
std::string save_as_path(const std::string& chosen);

// "Avec le même nom" always writes JPEG data: it may replace the file in place only when that
// file is a JPEG by both its extension and its first bytes. `first_bytes` are the file's opening
// bytes as read from disk (fewer when the file is shorter or unreadable).
bool save_same_name_in_place(const std::string& file_name, const unsigned char* first_bytes, size_t count);

// The name proposed instead for a photo that is not a JPEG: its extension replaced by ".jpg"
// ("photo.png" -> "photo.jpg", "photo" -> "photo.jpg"). Only the name part is given and returned.
std::string save_jpeg_name(const std::string& name);
