#include "shell/OptionTable.h"
#include "shell/xscreensaver/UserHackList.h"

#include <cstring>
#include <vector>

namespace {

// Our entry as a line of the list, in xscreensaver-settings' own layout:
// without its continuation (the list's last line) and with it.
constexpr const char* kEntryLine = "  GL: \t\t\t\tmarrowick --root\t\t\t    \\n";
constexpr const char* kProgramsLine = "programs:\t\t\t\t\t\t\t\t      \\";
constexpr const char* kNewFileHeader =
    "# XScreenSaver Preferences File\n"
    "# Made by marrowick --add-to-xscreensaver. xscreensaver lists its own screen\n"
    "# savers after this one and takes every other setting from its defaults;\n"
    "# xscreensaver-settings writes them all here once you change one.\n"
    "\n";

struct Lines {
    std::vector<std::string> lines;
    bool finalNewline = true;
};

Lines Split(const std::string& text) {
    Lines split;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            split.lines.push_back(text.substr(start));
            split.finalNewline = false;
            break;
        }
        split.lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return split;
}

std::string Join(const Lines& split) {
    std::string text;
    for (size_t i = 0; i < split.lines.size(); ++i) {
        text += split.lines[i];
        if (i + 1 < split.lines.size() || split.finalNewline) text += '\n';
    }
    return text;
}

bool Blank(const std::string& text, size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) {
        if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r') return false;
    }
    return true;
}
bool Blank(const std::string& text) { return Blank(text, 0, text.size()); }

// A line ending in an odd number of backslashes goes on in the next one.
bool Continues(const std::string& line) {
    size_t count = 0;
    while (count < line.size() && line[line.size() - 1 - count] == '\\') ++count;
    return count % 2 == 1;
}

// Where the value starts in a line that sets `programs` (for xscreensaver:
// the name alone, or with a class or a wildcard before it), or npos.
size_t ProgramsValueStart(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] == '#' || line[i] == '!') return std::string::npos;
    if (line[i] == '*') {
        ++i;
    } else {
        for (const char* owner : {"xscreensaver", "XScreenSaver"}) {
            const size_t length = std::strlen(owner);
            if (line.compare(i, length, owner) == 0 && i + length < line.size() &&
                (line[i + length] == '.' || line[i + length] == '*')) {
                i += length + 1;
                break;
            }
        }
    }
    if (line.compare(i, 8, "programs") != 0) return std::string::npos;
    i = line.find_first_not_of(" \t", i + 8);
    if (i == std::string::npos || line[i] != ':') return std::string::npos;
    return i + 1;
}

// One piece of the list between two \n separators, within one line.
struct Segment {
    size_t line = 0;
    size_t begin = 0;  // [begin, end) in that line
    size_t end = 0;
    bool terminated = false;  // a \n follows on the same line
    bool startsEntry = false;
};

// Whether the entry text names our program (by itself or by its path);
// enabled is false for an entry switched off with a leading "-".
bool IsOurs(const std::string& entry, bool& enabled) {
    size_t i = entry.find_first_not_of(" \t");
    enabled = true;
    if (i == std::string::npos) return false;
    if (entry[i] == '-') {
        enabled = false;
        i = entry.find_first_not_of(" \t", i + 1);
        if (i == std::string::npos) return false;
    }
    // A visual: a word that ends in a colon.
    const size_t word = entry.find_first_of(" \t", i);
    const size_t colon = entry.find(':', i);
    if (colon != std::string::npos && (word == std::string::npos || colon < word)) {
        i = entry.find_first_not_of(" \t", colon + 1);
        if (i == std::string::npos) return false;
    }
    // A label in double quotes.
    if (entry[i] == '"') {
        const size_t close = entry.find('"', i + 1);
        if (close == std::string::npos) return false;
        i = entry.find_first_not_of(" \t", close + 1);
        if (i == std::string::npos) return false;
    }
    const size_t commandEnd = entry.find_first_of(" \t", i);
    std::string command = entry.substr(i, commandEnd == std::string::npos ? std::string::npos
                                                                          : commandEnd - i);
    const size_t slash = command.rfind('/');
    if (slash != std::string::npos) command.erase(0, slash + 1);
    return command == kProgramName;
}

// The `programs` resource of a file: its lines [first, last] and its pieces.
struct ProgramsList {
    bool found = false;
    size_t first = 0;
    size_t last = 0;
    size_t valueStart = 0;            // in the first line
    std::vector<Segment> segments;
    bool endsAtEntryStart = true;     // the value ends with a separator (or holds nothing)
};

// The last `programs` resource in the file (as the last setting of a
// resource is the one that holds).
ProgramsList FindPrograms(const Lines& split) {
    ProgramsList list;
    const std::vector<std::string>& lines = split.lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t first = i;
        while (Continues(lines[i]) && i + 1 < lines.size()) ++i;
        const size_t start = ProgramsValueStart(lines[first]);
        if (start == std::string::npos) continue;
        list = ProgramsList{};
        list.found = true;
        list.first = first;
        list.last = i;
        list.valueStart = start;
    }
    if (!list.found) return list;
    bool atStart = true;
    for (size_t i = list.first; i <= list.last; ++i) {
        const std::string& line = lines[i];
        size_t position = i == list.first ? list.valueStart : 0;
        const size_t end = line.size() - (Continues(line) ? 1 : 0);
        for (;;) {
            Segment segment;
            segment.line = i;
            segment.begin = position;
            segment.startsEntry = atStart;
            const size_t separator = line.find("\\n", position);
            if (separator != std::string::npos && separator + 1 < end) {
                segment.end = separator;
                segment.terminated = true;
                list.segments.push_back(segment);
                atStart = true;
                position = separator + 2;
                continue;
            }
            segment.end = end;
            if (!Blank(line, segment.begin, segment.end)) atStart = false;
            list.segments.push_back(segment);
            break;
        }
    }
    list.endsAtEntryStart = atStart;
    return list;
}

std::string SegmentText(const Lines& split, const Segment& segment) {
    return split.lines[segment.line].substr(segment.begin, segment.end - segment.begin);
}

bool Add(Lines& split, bool& changed) {
    changed = true;
    if (split.lines.empty()) {
        split = Split(kNewFileHeader);
        split.lines.push_back(kProgramsLine);
        split.lines.push_back(std::string(kEntryLine) + "\\");
        split.lines.push_back("");
        split.finalNewline = true;
        return true;
    }
    const ProgramsList list = FindPrograms(split);
    if (!list.found) {
        // A list of ours at the end of the file, where nothing can run into it.
        split.finalNewline = true;
        if (Continues(split.lines.back())) split.lines.push_back("");
        if (!Blank(split.lines.back())) split.lines.push_back("");
        split.lines.push_back(kProgramsLine);
        split.lines.push_back(std::string(kEntryLine) + "\\");
        split.lines.push_back("");
        return true;
    }
    // Listed already: switched on, or switched on again.
    for (const Segment& segment : list.segments) {
        bool enabled = true;
        if (!segment.startsEntry || !IsOurs(SegmentText(split, segment), enabled)) continue;
        if (enabled) {
            changed = false;
            return true;
        }
    }
    for (const Segment& segment : list.segments) {
        bool enabled = true;
        if (!segment.startsEntry || !IsOurs(SegmentText(split, segment), enabled)) continue;
        std::string& line = split.lines[segment.line];
        line.erase(line.find('-', segment.begin), 1);
        return true;
    }
    // Added after the last entry; a value that stops in the middle of an
    // entry gets its separator first.
    const std::string separator = list.endsAtEntryStart ? "" : "\\n";
    std::string& last = split.lines[list.last];
    if (list.last > list.first && Blank(last)) {
        // xscreensaver's own layout: an empty line ends the list.
        split.lines.insert(split.lines.begin() + static_cast<long>(list.last),
                           separator + kEntryLine + "\\");
    } else if (Continues(last)) {
        // The file ends inside the list.
        split.lines.insert(split.lines.begin() + static_cast<long>(list.last) + 1,
                           separator + kEntryLine);
    } else {
        // The last line ends the list itself: it has to go on to ours.
        last += separator + "\\";
        split.lines.insert(split.lines.begin() + static_cast<long>(list.last) + 1, kEntryLine);
    }
    return true;
}

bool Remove(Lines& split, bool& changed, std::string& error) {
    changed = false;
    const ProgramsList list = FindPrograms(split);
    if (!list.found) return true;
    // Our entries, and whether one of them runs on into the next line.
    std::vector<Segment> ours;
    bool inOurs = false;
    for (const Segment& segment : list.segments) {
        const bool blank = Blank(split.lines[segment.line], segment.begin, segment.end);
        bool enabled = true;
        if (segment.startsEntry && !blank) {
            inOurs = IsOurs(SegmentText(split, segment), enabled);
            if (inOurs) ours.push_back(segment);
        } else if (!segment.startsEntry && !blank && inOurs && segment.line != ours.back().line) {
            error = "its entry for marrowick runs over several lines; take it out by hand";
            return false;
        }
        if (segment.terminated) inOurs = false;
    }
    if (ours.empty()) return true;
    changed = true;
    // From the end, so that the places found stay right.
    for (size_t k = ours.size(); k-- > 0;) {
        const Segment& segment = ours[k];
        std::string& line = split.lines[segment.line];
        line.erase(segment.begin, segment.end - segment.begin + (segment.terminated ? 2 : 0));
        // Once the line holds no more of ours: gone when nothing is left
        // of it (the first line keeps the name).
        const bool doneWithLine = k == 0 || ours[k - 1].line != segment.line;
        if (!doneWithLine || segment.line == list.first) continue;
        const size_t end = line.size() - (Continues(line) ? 1 : 0);
        if (!Blank(line, 0, end)) continue;
        if (Continues(line)) {
            split.lines.erase(split.lines.begin() + static_cast<long>(segment.line));
        } else {
            line.clear();  // an empty line still ends the list
        }
    }
    return true;
}

}  // namespace

bool EditHackListText(const std::string& text, HackListAction action, std::string& result,
                      bool& changed, std::string& error) {
    Lines split = Split(text);
    const bool ok = action == HackListAction::Add ? Add(split, changed)
                                                  : Remove(split, changed, error);
    if (!ok) return false;
    result = changed ? Join(split) : text;
    return true;
}

