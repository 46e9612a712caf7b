#pragma once
// Folder paths from the folder browser.

// Drive roots as the folder browser returns them ("C:\\") are cut to the drive
// ("C:"), so that appending "\\name" gives one separator. Any other path is
// left alone. Returns whether the path was cut.
bool trimDriveRoot(char* path);
