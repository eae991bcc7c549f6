#pragma once
// Where the program finds the user's files and its built-in defaults.
// Every mode that runs a colony decides its paths here; nothing else does.
//
// Two files belong to the user: the rule base Rules.clp and the settings file
// Marrowick.ini. For each, the first of these places that applies wins:
//   1. The working directory, when the file exists there: it was stored by
//      the user, or by an earlier version that kept its files there. It is
//      read, and never made or written over here.
//   2. The user's folder, $XDG_CONFIG_HOME/marrowick ($HOME/.config/marrowick
//      when XDG_CONFIG_HOME is unset, empty or relative), when the file
//      exists there; a copy that cannot be written is still read.
//   3. The user's folder again, when it exists or can be made: the file is
//      made there on first use (the rule base from the built-in text, the
//      settings file by its owner when it first opens it).
//   4. Nothing can be written (no home, a read-only one): the rule base is
//      read from the data folder, or from the program's own built-in text;
//      the settings are the built-in defaults.
// The working directory is read, never written.
//
// The first-use copy of the rule base follows the built-in rules while the
// user has not edited it: beside it, a stamp (kStampName) records what was
// written, and a copy that still holds exactly that is brought up to date
// when a newer program brings other built-in rules. A copy that differs from
// its stamp was edited and is kept as it is, and so is one without a stamp
// (an earlier version made it) unless it equals the built-in rules.
//
// The data folder is share/marrowick beside the program's bin folder
// (/usr/share/marrowick for /usr/bin/marrowick); it holds the built-in rule
// base and the texture. A program run from its build tree has none.
#include <string>

// Where a chosen file lies, and so how it may be used.
enum class FileOrigin {
    WorkingDirectory,  // existing, in the working directory: read only
    UserFolder,        // in the user's folder: existing, or made on first use
    DataFolder,        // the installed default: read only
    BuiltIn,           // no file: the program's own defaults
    Given,             // named on the command line (--rules FILE): read only
    Unused,            // not asked for (UserFileInputs::wantSettings)
};

struct FileChoice {
    std::string path;  // empty for FileOrigin::BuiltIn
    FileOrigin origin = FileOrigin::BuiltIn;
    bool writable = false;  // false: read it, never write or make it
};

// What the decision depends on; the environment gives it in a real run,
// tests give their own.
struct UserFileInputs {
    std::string workingFolder;  // empty: the process's working directory
    std::string xdgConfigHome;  // XDG_CONFIG_HOME, or empty
    std::string home;           // HOME, or empty
    std::string dataFolder;     // the installed defaults, or empty for none
    bool wantSettings = true;   // false: the settings file is not read (headless)
};

struct UserFiles {
    static constexpr const char* kRulesName = "Rules.clp";
    static constexpr const char* kSettingsName = "Marrowick.ini";
    static constexpr const char* kFolderName = "marrowick";
    // Beside the first-use copy of the rule base: what was written there.
    static constexpr const char* kStampName = ".Rules.clp.builtin";

    std::string userFolder;  // empty when there is no home to put it in
    // Exists (or was made) and can be written; looked at only when a file is
    // to be made there.
    bool userFolderReady = false;
    // Why the user's folder could not be used, as one line for standard
    // error; empty when it was not needed or could be used.
    std::string problem;
    std::string dataFolder;
    FileChoice rules;
    FileChoice settings;
};

// The inputs of this process: its environment and its data folder.
UserFileInputs UserFileInputsFromEnvironment();

// The data folder of the running program (share/marrowick beside the folder
// of the executable, links resolved), or empty when it has none.
std::string InstalledDataFolder();

// $XDG_CONFIG_HOME/marrowick or $HOME/.config/marrowick; empty when neither
// variable gives an absolute path.
std::string UserFolderPath(const UserFileInputs& inputs);

// Decides both files. Makes the user's folder (mode 0700, and the
// configuration folder above it when that is missing) when a file is to be
// made there and it does not exist yet; writes nothing else.
UserFiles PlanUserFiles(const UserFileInputs& inputs);

// Decides the files without making or writing anything: where they would be
// read from now (a missing first-use copy reads as the built-in rules). For
// the commands that only look (--check-rules without a file).
UserFiles LookUpUserFiles(const UserFileInputs& inputs);

// Makes the rule base the plan chose in the user's folder when it is missing,
// and brings an unedited first-use copy up to date (see above). On failure
// the plan falls back to the data folder or the built-in rules and problem
// says why.
void ProvideUserRuleBase(UserFiles& files);

// One line (no program name, no newline) that says which user file could not
// be had and what is used instead; empty when nothing fell back.
std::string DescribeFallback(const UserFiles& files);
