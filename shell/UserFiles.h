#pragma once
// Where the program keeps the user's files and finds its built-in defaults.
// Every mode decides its paths here (window, screen saver, headless).
//
// Two files belong to the user: the rule base Rules.clp and the settings file
// Marrowick.ini. For each, the first of these places that applies wins:
//   1. The working directory, when the file exists there: it was stored by
//      the user, or by an earlier version that kept its files there.
//   2. The user's folder, $XDG_CONFIG_HOME/marrowick ($HOME/.config/marrowick
//      when XDG_CONFIG_HOME is unset, empty or relative), when the file
//      exists there; a copy that cannot be written is still read.
//   3. The user's folder again, when it exists or can be made: the file is
//      made there on first use (the rule base from the built-in text, the
//      settings file with its default record).
//   4. Nothing can be written (no home, a read-only one): the rule base is
//      read from the data folder, the settings are the built-in defaults.
//      Without a data folder the rule base falls back to the working
//      directory's name, which is written when that is possible.
// The data folder is share/marrowick beside the program's bin folder
// (/usr/share/marrowick for /usr/bin/marrowick); it holds the built-in rule
// base and the texture. A program run from its build tree has none.
//
// Only the user's folder is ever made here; the files are made by those who
// own them (the expert system, the settings file), and only when they are
// used, so that a mode which reads neither writes neither.
#include <string>

// Where a chosen file lies, and so how it may be used.
enum class FileOrigin {
    WorkingDirectory,  // existing, in the working directory
    UserFolder,        // in the user's folder: existing, or made on first use
    DataFolder,        // the installed default: read only
    Fallback,          // the working directory's name: made there if possible
    BuiltIn,           // no file: the program's own defaults (settings only)
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
// made there and it does not exist yet.
UserFiles PlanUserFiles(const UserFileInputs& inputs);

// One line (no program name, no newline) that says which user file could not
// be had and what is used instead; empty when nothing fell back.
std::string DescribeFallback(const UserFiles& files);

// For the modes that read only the rule base (headless, terminal): plans the
// files of this process without the settings file, says on standard error
// what fell back, and returns the rule base's path.
std::string PlanRulesOnly();
