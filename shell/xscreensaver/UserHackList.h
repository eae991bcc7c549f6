#pragma once
// marrowick in the user's own list of screen savers: the `programs` resource
// of ~/.xscreensaver, which xscreensaver and xscreensaver-settings read and
// write. The package only puts the program where xscreensaver looks for it
// (/usr/libexec/xscreensaver) and describes its settings
// (/usr/share/xscreensaver/config); adding it to a list is the user's step
// (marrowick --add-to-xscreensaver) or the administrator's, in the conffile
// they own (README.Debian).
//
// The file is an X resource file: `name: value`, a value continued over
// lines that end in a backslash, entries of `programs` separated by the two
// characters \n. An entry is [-][VISUAL:] ["LABEL"] COMMAND [ARGS]; a
// leading - switches it off. xscreensaver-settings writes the list one entry
// to a line and ends it with an empty line:
/*
       programs:                                     \
                       maze --root                   \n\
         GL:           superquadrics --root          \n\

*/
// An edit keeps every other line of the file byte for byte: an entry is
// added as a line of its own after the last entry (so no entry changes its
// place, and `selected:` still picks the same one), and removed by taking
// out its line. Only a list whose last line has no continuation (written by
// hand) gets one added to that line. A user without a file gets a new one
// that holds the list alone: xscreensaver adds its own screen savers after
// ours and takes every other setting from its defaults.
#include <string>

enum class HackListAction { Add, Remove };

// The entry that is added: the GL visual, drawing into xscreensaver's window.
constexpr const char* kHackListEntry = "GL: marrowick --root";

// The text of a settings file with marrowick added to (or taken out of) its
// list; changed is false when there was nothing to do. Add on an empty text
// gives the whole of a new file. False, with the reason in error, for a list
// this cannot edit without touching other entries (an entry of marrowick's
// that runs over several lines).
bool EditHackListText(const std::string& text, HackListAction action, std::string& result,
                      bool& changed, std::string& error);

