#pragma once
// Files dropped from Explorer onto the main window: their paths go into the
// command line, so that "install" and a dropped package make a command.
#include <windows.h>
#include <shellapi.h>

// Inserts the paths of a drop at the edit control's caret (replacing its
// selection) as one undoable change: each path with a blank in front and in
// double quotes, the way a picked word goes in. Returns how many went in.
// A path is left out, with a beep, when the Windows code page cannot spell
// it, and so are it and the rest when it would not fit whole into the
// line's limit. The drop itself stays the caller's to finish.
int InsertDroppedFiles(HDROP hDrop, HWND hEdit);
