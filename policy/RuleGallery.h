#pragma once
// The gallery of rule bases: the ones shipped with the program (built in, so
// every name works wherever the program runs) and the user's own, the *.clp
// files of a folder (~/.config/marrowick/rules), picked by name.
//
// A rule base names itself in a header comment, the run of ";;" lines it
// opens with:
//   ;; name: thrifty
//   ;; about: a small colony on a full store: ...
// A user's file without a usable name is known by its file name without
// ".clp". A name is a word of letters, digits, '-' and '_' (at most
// kMaxNameLength), so that it can stand in a command line, a CSV cell and a
// file name as it is.
//
// A user's rule base of the same name as a shipped one takes its place, as
// the user's Rules.clp takes the built-in one's: a copied and edited
// thrifty.clp is what "thrifty" then means. The shipped one stays listed,
// marked hidden.
//
// Nothing here writes; the gallery reads only the first kHeaderBytes of each
// file, opened without blocking (a FIFO in the folder never hangs a listing).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The shipped rule bases as the build embeds them (resources/rules/), in
// gallery order: the default first.
struct ShippedRuleBase {
    const char* fileName;  // "thrifty.clp"
    const char* text;      // NUL-terminated
    unsigned length;
};
extern const ShippedRuleBase kShippedRuleBases[];
extern const size_t kShippedRuleBaseCount;

struct RuleBaseHeader {
    std::string name;   // empty when the header gives none, or none usable
    std::string about;  // empty when the header gives none
};

// Reads the header: the ";;" lines at the start of text (after a UTF-8
// byte-order mark, if any), up to the first other line. Keys are "name:" and
// "about:"; a name that is no usable name is ignored, and control characters
// in the about line become '?', so that a listing never carries a terminal
// escape.
RuleBaseHeader ReadRuleBaseHeader(const char* text, size_t length);

// A word of letters, digits, '-' and '_', 1 to kMaxNameLength characters.
bool IsRuleBaseName(const std::string& word);

enum class RuleBaseOrigin : uint8_t {
    Shipped,     // built into the program (text, length)
    UserFolder,  // a file of the user's rules folder (path)
    File,        // a file named on the command line (path)
};

// A rule base a run can load: from its file, or from the built-in text.
struct RuleBaseEntry {
    std::string name;
    std::string about;
    RuleBaseOrigin origin = RuleBaseOrigin::Shipped;
    std::string path;            // UserFolder, File: the file to load
    const char* text = nullptr;  // Shipped: the text to load
    size_t length = 0;
    // Shipped: a user's rule base of the same name is used instead.
    bool hidden = false;
    // Shipped: the installed copy, for people to read and copy; empty when
    // the program has none (a build tree).
    std::string installedCopy;
};

class RuleGallery {
public:
    static constexpr size_t kMaxNameLength = 40;
    static constexpr size_t kHeaderBytes = 4096;  // the header must lie within them
    static constexpr size_t kMaxUserFiles = 200;  // the rest of a huge folder is not read
    static constexpr const char* kRulesFolderName = "rules";
    static constexpr const char* kDefaultName = "default";

    // The shipped rule bases, then the *.clp files of userFolder (empty, or a
    // folder that does not exist: none), sorted by file name. dataFolder is
    // the installed defaults (share/marrowick) or empty: where the shipped
    // ones have copies under rules/.
    static RuleGallery Load(const std::string& userFolder, const std::string& dataFolder);

    // Shipped ones first (in gallery order), then the user's.
    const std::vector<RuleBaseEntry>& Entries() const { return entries; }
    // The entries a name can select, in gallery order: the hidden ones left out.
    std::vector<const RuleBaseEntry*> Selectable() const;
    // The entry a name selects, or null.
    const RuleBaseEntry* Find(const std::string& name) const;
    // One line per user file that could not join (unreadable, no usable name,
    // a name taken by an earlier file), for the listing.
    const std::vector<std::string>& Problems() const { return problems; }

private:
    std::vector<RuleBaseEntry> entries;
    std::vector<std::string> problems;
};

// What --rules ARG means: a file when ARG holds a '/' or ends in ".clp",
// otherwise a name of the gallery. A file is named by its header, or else by
// its file name; it is not read beyond its header here (the load says what is
// wrong with it). False, with a one-line message, for a name the gallery
// lacks or an empty argument.
bool ChooseRuleBase(const RuleGallery& gallery, const std::string& argument,
                    RuleBaseEntry& choice, std::string& error);

// The name of a rule base read from a file (its header's, else the file name
// without its folder and ".clp"). A file that holds exactly the built-in
// default rules (the user's first-use Rules.clp) is "default".
std::string RuleBaseNameOfFile(const std::string& path);

// The listing of --list-rules: per entry its name, where it comes from and its
// about line; then the problems.
std::string FormatRuleGallery(const RuleGallery& gallery);
