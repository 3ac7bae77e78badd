// The string table: every text the system shows, keyed by its identifier. A result code's
// magnitude is the identifier of its message.
#pragma once

#include <cstddef>
#include <string_view>

namespace v3d {

// The text with this identifier, or an empty text when the table has none.
std::string_view text(int id);

// Whether the table holds a text for this identifier.
bool hasText(int id);

// Copies the text of `id` into `buffer` of `capacity` bytes, cut to capacity - 1 bytes and
// NUL-terminated. Returns the number of bytes stored before the NUL.
std::size_t loadText(int id, char* buffer, std::size_t capacity);

}  // namespace v3d
