#pragma once
// Parameter values as text: the command line's one number grammar, a value's
// one spelling, and NAME=VALUE with the linked form of the four shares.
//
// The grammar (options and parameters alike):
//   whole number  digits, nothing else: no sign, no blank, no suffix ("40")
//   number        digits with an optional fraction and exponent ("0.25",
//                 "1e-3", ".5"); no sign, no "inf" or "nan", no hex
// Every parameter's range starts at 0 or above, so no sign is ever needed.
// A value is range-checked as it is stored: reals in single precision.
//
// One spelling: FormatParameterValue writes the same text for the same stored
// value (integers plainly, reals with the fewest digits that read back as the
// same single-precision value), so that summary rows and command lines
// compare as text.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/ParameterTable.h"

// The text of a whole number from low to high, both included.
bool ParseWholeNumber(const char* text, int64_t low, int64_t high, int64_t& value);
// The text of a finite decimal number (the grammar above).
bool ParseDecimalNumber(const char* text, double& value);
// The parts of text between separators, empty ones included ("a,,b" gives
// three); text without one is one part.
std::vector<std::string> SplitOn(const std::string& text, char separator);

// A parameter's value: the number, or for a Text parameter the text.
struct ParameterValue {
    double number = 0.0;
    std::string text;

    bool operator==(const ParameterValue& other) const {
        return number == other.number && text == other.text;
    }
    bool operator!=(const ParameterValue& other) const { return !(*this == other); }
};

// The parameter's default as a value.
ParameterValue DefaultValue(ParameterId id);

// Reads text as the parameter stores it, range included. The generator type
// also takes its text ("Constant Growth"). On failure error names the
// parameter and its range: "foodPerAnt takes a number from 0 to 1, not "2"".
bool ParseParameterValue(ParameterId id, const char* text, ParameterValue& value,
                         std::string& error);
// The value's one spelling.
std::string FormatParameterValue(ParameterId id, const ParameterValue& value);
// The range as a phrase: "a whole number from 5 to 1000", "0 or 1", ...
std::string DescribeRange(ParameterId id);

// One parameter with a value, as --set and a sweep's row hold it.
struct Setting {
    ParameterId id;
    ParameterValue value;
};

// The linked shares: "shares=M/W/G/R" sets the meandering, wandering,
// gathering and reproducing shares together (the statistics' order), so that
// a sweep can vary them without ever breaking their sum of 100.
constexpr const char* kSharesName = "shares";

// "NAME" as --set and --vary name parameters: one parameter, or the four
// shares for "shares". False with a message (a "did you mean" for a wrong
// letter case) when the name is unknown.
bool FindParameters(const std::string& name, std::vector<ParameterId>& ids, std::string& error);
// A value for the parameters FindParameters found: for the shares, four
// numbers joined by '/'.
bool ParseLinkedValue(const std::vector<ParameterId>& ids, const std::string& name,
                      const std::string& text, std::vector<ParameterValue>& values,
                      std::string& error);
// "NAME=VALUE" (the argument of --set): one setting, or four for the shares.
bool ParseSetting(const char* text, std::vector<Setting>& settings, std::string& error);
