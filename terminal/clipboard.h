// Lines of the terminal log to the clipboard as plain text, each ended by CR LF.
#pragma once

void CopySelectedLines();
void SelectAllAndCopy();
