#pragma once
// Parameter records in the settings file (Marrowick.ini): a line
// "NAME = VALUE" whose NAME is a parameter sets it for every run that reads
// the file, below the command line and above the defaults. Other records
// (TextureName) belong to the file's other readers and are passed over.
//
// The file is the user's own: a record that names a parameter with a value it
// does not take is passed over with a warning, never a refusal to start.
// Nothing is written.
#include <string>
#include <vector>

#include "settings/RunDescription.h"

// The record that names the scene's texture (read by the view).
constexpr const char* kTextureRecord = "TextureName";

// Reads the records of the file at path into run (a missing file has none).
// Each record that is passed over adds one line to warnings ("Marrowick.ini
// line 3: foodPerAnt takes a number from 0 to 1, not "2"; passed over").
// textureName receives the TextureName record's value, when there is one.
void ReadSettingsRecords(const std::string& path, RunDescription& run,
                         std::vector<std::string>& warnings, std::string* textureName = nullptr);
