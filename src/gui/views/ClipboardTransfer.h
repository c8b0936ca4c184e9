#pragma once
// The system clipboard's side of cut, copy and paste of triggers, categories
// and instructions: a copy goes on it in two flavours (the fragment under the
// editor's own type, the script text as plain text, so that a text editor
// gets code), a paste takes the fragment back, and its outcome is told the
// editor's way (a beep for a place that does not take it, a box saying why
// a fragment was refused).

#include "document/Clipboard.h"

#include <string>

class QWidget;

namespace bram::gui {

void PutOnClipboard(const SClipboardContent& content);
// The fragment on the clipboard; empty when it holds none (another program's text).
std::string FragmentOnClipboard();
// Whether it holds one, without fetching it from another program (for enable rules).
bool HasFragmentOnClipboard();
// True when the fragment was pasted.
bool ReportPaste(QWidget* parent, const SPasteOutcome& outcome);

} // namespace bram::gui
