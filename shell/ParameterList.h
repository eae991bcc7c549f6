#pragma once
// marrowick --list-parameters: every parameter --set, --vary and the dialogs
// take, from the parameter table alone (nothing is built, read or written).
#include <cstdio>

// Writes the list; false when it could not be written.
bool PrintParameterList(std::FILE* out);
