// The help viewer (WinHelp, or Wine's winhlp32), driven from outside.
#pragma once

// Waits for the viewer's window; false when none came up.
bool WaitForHelpViewer();

// From the contents topic, follows each jump whose text is given, and then
// every entry of the keyword index; prints, for each, the title of the topic
// it landed on ("jump TEXT -> TITLE", "keyword ENTRY -> TITLE"). Ends on the
// contents topic.
int WalkHelp(int count, char** jumpTexts);

// Closes the viewer.
void CloseHelp();
