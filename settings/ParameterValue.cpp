#include "settings/ParameterValue.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number as the parameter stores it: whole numbers exactly, reals in
// single precision.
bool Representable(const ParameterRow& row, double value) {
    if (row.type == ParameterType::Real) return std::isfinite(static_cast<float>(value));
    return value == std::trunc(value);
}

bool InRange(const ParameterRow& row, double value) {
    if (row.type == ParameterType::Real) {
        const float v = static_cast<float>(value);
        return v >= static_cast<float>(row.low) && v <= static_cast<float>(row.high);
    }
    return value >= row.low && value <= row.high;
}

// Text values end up in CSV rows and command lines: one line, no comma.
bool UsableText(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == ',' || c == '"') return false;
    }
    return true;
}

// A text for a message: control characters as '?', cut when very long.
std::string Shown(const std::string& text) {
    constexpr size_t kShownLength = 80;
    std::string shown;
    for (char c : text.substr(0, kShownLength)) {
        const unsigned char byte = static_cast<unsigned char>(c);
        shown += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    if (text.size() > kShownLength) shown += "...";
    return shown;
}

}  // namespace

std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

bool ParseWholeNumber(const char* text, int64_t low, int64_t high, int64_t& value) {
    if (text == nullptr || *text == '\0') return false;
    // 19 digits always fit in 63 bits; more are out of every range anyway.
    constexpr size_t kMaxDigits = 18;
    if (std::strlen(text) > kMaxDigits) return false;
    int64_t result = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (!IsDigit(*c)) return false;
        result = result * 10 + (*c - '0');
    }
    if (result < low || result > high) return false;
    value = result;
    return true;
}

bool ParseDecimalNumber(const char* text, double& value) {
    if (text == nullptr) return false;
    const char* c = text;
    bool digits = false;
    while (IsDigit(*c)) ++c, digits = true;
    if (*c == '.') {
        ++c;
        while (IsDigit(*c)) ++c, digits = true;
    }
    if (!digits) return false;
    if (*c == 'e' || *c == 'E') {
        ++c;
        if (*c == '+' || *c == '-') ++c;
        if (!IsDigit(*c)) return false;
        while (IsDigit(*c)) ++c;
    }
    if (*c != '\0') return false;
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(text, &end);
    if (end != c || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

ParameterValue DefaultValue(ParameterId id) {
    const ParameterRow& row = Parameter(id);
    ParameterValue value;
    // A real is what its single-precision field holds (0.7 is 0.699999988).
    value.number = row.type == ParameterType::Real
                       ? static_cast<double>(static_cast<float>(row.defaultValue))
                       : row.defaultValue;
    return value;
}

std::string DescribeRange(ParameterId id) {
    const ParameterRow& row = Parameter(id);
    char text[160];
    switch (row.type) {
        case ParameterType::Whole:
            std::snprintf(text, sizeof text, "a whole number from %.0f to %.0f", row.low,
                          row.high);
            break;
        case ParameterType::Real:
            std::snprintf(text, sizeof text, "a number from %g to %g", row.low, row.high);
            break;
        case ParameterType::Flag:
            std::snprintf(text, sizeof text, "0 or 1");
            break;
        case ParameterType::Choice:
            std::snprintf(text, sizeof text, "0 (%s), 1 (%s) or 2 (%s)", kGeneratorTexts[0],
                          kGeneratorTexts[1], kGeneratorTexts[2]);
            break;
        case ParameterType::Text:
            std::snprintf(text, sizeof text, "a name or a file (no comma, quote or control "
                                             "character)");
            break;
    }
    return text;
}

bool ParseParameterValue(ParameterId id, const char* text, ParameterValue& value,
                         std::string& error) {
    const ParameterRow& row = Parameter(id);
    ParameterValue parsed;
    bool ok = false;
    switch (row.type) {
        case ParameterType::Whole:
        case ParameterType::Flag: {
            int64_t whole = 0;
            ok = ParseWholeNumber(text, static_cast<int64_t>(row.low),
                                  static_cast<int64_t>(row.high), whole);
            parsed.number = static_cast<double>(whole);
            break;
        }
        case ParameterType::Real:
            ok = ParseDecimalNumber(text, parsed.number) && Representable(row, parsed.number) &&
                 InRange(row, parsed.number);
            // Stored in single precision: the value is what the float holds.
            parsed.number = static_cast<double>(static_cast<float>(parsed.number));
            break;
        case ParameterType::Choice:
            for (int32_t type = 0; type < kGeneratorTextCount && !ok; ++type) {
                const char digit[2] = {static_cast<char>('0' + type), '\0'};
                if (std::strcmp(text, digit) == 0 || std::strcmp(text, kGeneratorTexts[type]) == 0) {
                    parsed.number = type;
                    ok = true;
                }
            }
            break;
        case ParameterType::Text:
            parsed.text = text;
            ok = UsableText(parsed.text);
            break;
    }
    if (!ok) {
        error = std::string(row.name) + " takes " + DescribeRange(id) + ", not \"" + Shown(text) +
                "\"";
        return false;
    }
    value = parsed;
    return true;
}

std::string FormatParameterValue(ParameterId id, const ParameterValue& value) {
    const ParameterRow& row = Parameter(id);
    char text[48];
    switch (row.type) {
        case ParameterType::Text:
            return value.text;
        case ParameterType::Real: {
            // The fewest significant digits (six at least, as the dialogs show
            // them) that read back as the same single-precision value.
            const float stored = static_cast<float>(value.number);
            for (int digits = 6; digits <= 9; ++digits) {
                std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(stored));
                if (std::strtof(text, nullptr) == stored) break;
            }
            return text;
        }
        default:
            std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(value.number));
            return text;
    }
}

bool FindParameters(const std::string& name, std::vector<ParameterId>& ids, std::string& error) {
    ids.clear();
    if (name == kSharesName) {
        ids.assign(std::begin(kShareOrder), std::end(kShareOrder));
        return true;
    }
    ParameterId id = ParameterId::Count;
    if (FindParameter(name.c_str(), id)) {
        ids.push_back(id);
        return true;
    }
    if (FindParameterIgnoringCase(name.c_str(), id)) {
        error = "unknown parameter \"" + Shown(name) + "\"; did you mean " + Parameter(id).name + "?";
    } else {
        error = "unknown parameter \"" + Shown(name) + "\" (try --list-parameters)";
    }
    return false;
}

bool ParseLinkedValue(const std::vector<ParameterId>& ids, const std::string& name,
                      const std::string& text, std::vector<ParameterValue>& values,
                      std::string& error) {
    values.clear();
    if (ids.size() == 1) {
        values.resize(1);
        return ParseParameterValue(ids[0], text.c_str(), values[0], error);
    }
    const std::vector<std::string> parts = SplitOn(text, '/');
    if (parts.size() != ids.size()) {
        error = name + " takes four shares M/W/G/R (meandering, wandering, gathering, "
                       "reproducing; they add up to 100), not \"" + Shown(text) + "\"";
        return false;
    }
    values.resize(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        if (!ParseParameterValue(ids[i], parts[i].c_str(), values[i], error)) return false;
    }
    return true;
}

bool ParseSetting(const char* text, std::vector<Setting>& settings, std::string& error) {
    settings.clear();
    const char* equals = std::strchr(text, '=');
    if (equals == nullptr || equals == text) {
        error = "--set needs NAME=VALUE, not \"" + Shown(text) + "\"";
        return false;
    }
    const std::string name(text, static_cast<size_t>(equals - text));
    std::vector<ParameterId> ids;
    std::vector<ParameterValue> values;
    if (!FindParameters(name, ids, error) ||
        !ParseLinkedValue(ids, name, equals + 1, values, error)) {
        return false;
    }
    for (size_t i = 0; i < ids.size(); ++i) settings.push_back(Setting{ids[i], values[i]});
    return true;
}
