// The few JSON pieces the reports need, appended to a std::string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A JSON string literal, quotes included, from raw 8-bit bytes: 0x20-0x7E
// stand as they are except '"' and '\' (written \" and \\); every other byte,
// NUL included, is written \u00XX. The output is therefore always valid JSON
// and pure ASCII, whatever code page the bytes came from.
void AppendJsonString(std::string* out, const char* bytes, size_t length);

// The same for a NUL-terminated text; nullptr gives JSON null.
void AppendJsonText(std::string* out, const char* text);

void AppendJsonUnsigned(std::string* out, uint64_t value);
void AppendJsonBool(std::string* out, bool value);
void AppendJsonNull(std::string* out);
