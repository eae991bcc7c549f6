#include "policy/LoadMessages.h"

#include <cstdio>
#include <cstring>

#include "policy/SafeText.h"

std::string FormatLoadMessages(const char* source, const LoadDiagnostic* diagnostics, size_t count,
                               size_t dropped, const char* prefix, size_t limit) {
    std::string text;
    const std::string name = Escaped(source, false);
    const size_t shown = limit == 0 || limit > count ? count : limit;
    for (size_t i = 0; i < shown; ++i) {
        const LoadDiagnostic& d = diagnostics[i];
        const char* end = std::strchr(d.text, '\n');
        const size_t first = end != nullptr ? static_cast<size_t>(end - d.text) : std::strlen(d.text);
        char head[64];
        std::snprintf(head, sizeof head, ":%d: %s: ", d.line, d.warning ? "warning" : "error");
        text += prefix;
        text += name;
        text += head;
        text.append(d.text, first);
        text += '\n';
        // The engine's further lines, indented.
        for (const char* line = end != nullptr ? end + 1 : nullptr; line != nullptr && *line != '\0';) {
            const char* next = std::strchr(line, '\n');
            const size_t length = next != nullptr ? static_cast<size_t>(next - line) : std::strlen(line);
            if (length > 0) {
                text += "    ";
                text.append(line, length);
                text += '\n';
            }
            line = next != nullptr ? next + 1 : nullptr;
        }
    }
    const size_t more = count - shown + dropped;
    if (more > 0) {
        char tail[160];
        std::snprintf(tail, sizeof tail, "%s%s: %zu more message%s not shown\n", prefix, name.c_str(), more,
                      more == 1 ? "" : "s");
        text += tail;
    }
    return text;
}
