// Stand-in: the file-type association of the desktop program is not written yet.
// The desktop program registers itself as the viewer of its file types.
#pragma once

class Settings;

// Writes the association for the types the settings name; true on success.
inline bool FileTypesWriteAssociation(Settings* settings) { return true; }
