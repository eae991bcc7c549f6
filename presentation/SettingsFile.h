#pragma once
// SettingsFile: the small key = value file that names the scene's texture
// ("Marrowick.ini" in the working directory).
//
// Records are "key = value" followed by CR LF, written as raw bytes; an
// underscore in a stored value reads back as a space. The file is opened (or
// created with the default TextureName record) at construction and stays open
// until destruction.
//
// A file the program may not write (the user's read-only copy) is opened
// read-only, and where no file can be had at all the settings are the built-in
// defaults alone (SettingsAccess); then nothing is ever written.
//
// Reading is tolerant: lines of any length, blank lines, lines without CR and
// a last line without a line break are read without overrunning anything;
// lines that are not a record, or longer than kLineCapacity, are skipped.
// A file without TextureName keeps its records and gets the default appended.
//
// Whatever the name turns out to be, it is never lost and never hangs the
// start: a directory, a FIFO or a device under the name, and a file larger
// than kMaxFileBytes, are left untouched; the file is then not usable, and
// one warning says why.
#include <cstdint>
#include <cstdio>
#include <string>

// Receives the warning (one text, shown once, at construction).
// Without a handler the warning goes to standard error.
struct SettingsWarning {
    void (*handler)(void* context, const char* text) = nullptr;
    void* context = nullptr;

    void Raise(const char* text) const;
};

// How the settings are kept.
enum class SettingsAccess {
    ReadWrite,     // the file, made with the default record when missing
    ReadOnly,      // an existing file, only read; TextureName defaults when absent
    DefaultsOnly,  // no file: the default record; warns that nothing is saved
};

class SettingsFile {
public:
    static constexpr const char* kDefaultPath = "Marrowick.ini";
    static constexpr const char* kTextureKey = "TextureName";
    static constexpr const char* kDefaultTexture = "\\Kestrin\\Vantrel\\texture\\texture.bmp";
    static constexpr const char* kCreationWarning =
        "Warning, INI file Creation Error\n"
        "Marrowick probably located in a read only area\n"
        "User settings will not be saved\n";
    static constexpr const char* kNotAFileWarning =
        "Warning, INI file is not a regular file\n"
        "Marrowick.ini is left as it is\n"
        "User settings will not be saved\n";
    static constexpr const char* kTooLargeWarning =
        "Warning, INI file larger than 1 MiB\n"
        "Marrowick.ini is left as it is\n"
        "User settings will not be saved\n";
    // Longest line a look-up considers; longer lines are skipped whole.
    static constexpr size_t kLineCapacity = 4096;
    // Largest file that is read at all (a look-up reads it whole).
    static constexpr size_t kMaxFileBytes = 1u << 20;

    explicit SettingsFile(const char* path = kDefaultPath, SettingsWarning warning = {},
                          SettingsAccess access = SettingsAccess::ReadWrite);
    virtual ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // True and the value (underscores as spaces) when a record with exactly
    // this key exists; false when there is none or the file is not usable.
    bool GetValue(const char* key, std::string& value);
    // Appends "key = value\r\n" unless the file is not usable or not
    // writable, the key exists already, or key or value is empty or holds
    // white space (such a record could not be read back). False then, and the
    // file is unchanged.
    bool AddValue(const char* key, const char* value);
    // Empties (or creates) the file and writes the default record; on failure
    // warns and leaves the file unusable. Does nothing unless ReadWrite.
    void CreateDefault();

    bool Usable() const { return usable; }
    SettingsAccess Access() const { return access; }
    const std::string& Path() const { return path; }

private:
    bool FindRecord(const char* key, std::string* value);
    // Not usable, with one warning.
    void Refuse(const char* text);

    std::string path;
    SettingsWarning warning;
    SettingsAccess access = SettingsAccess::ReadWrite;
    bool usable = true;
    std::FILE* file = nullptr;
};
