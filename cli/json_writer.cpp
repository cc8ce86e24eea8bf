#include "json_writer.h"

#include <cstring>

void AppendJsonString(std::string* out, const char* bytes, size_t length) {
    static const char HEX[] = "0123456789ABCDEF";
    out->push_back('"');
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out->push_back('\\');
            out->push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c <= 0x7E) {
            out->push_back(static_cast<char>(c));
        } else {
            out->append("\\u00");
            out->push_back(HEX[c >> 4]);
            out->push_back(HEX[c & 0x0F]);
        }
    }
    out->push_back('"');
}

void AppendJsonText(std::string* out, const char* text) {
    if (!text) {
        AppendJsonNull(out);
        return;
    }
    AppendJsonString(out, text, std::strlen(text));
}

void AppendJsonUnsigned(std::string* out, uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) out->push_back(digits[--n]);
}

void AppendJsonBool(std::string* out, bool value) { out->append(value ? "true" : "false"); }

void AppendJsonNull(std::string* out) { out->append("null"); }
