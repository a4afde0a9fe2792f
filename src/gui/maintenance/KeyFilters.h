#pragma once

#include <QChar>

class QLineEdit;

// Typing filters of the add/edit dialog. Each sees one typed character and
// returns what reaches the box: the character itself, a replacement, or
// QChar(0) to drop it. Pasted text and text set by code are not filtered.
namespace KeyFilters
{

// Domain and host: blanks are dropped, everything else is lower-cased.
QChar nameKey(QChar typed);
// Port: digits and backspace pass, everything else is dropped.
QChar portKey(QChar typed);

enum class Kind { Name, Port };

// Applies a filter to the keys typed into a line edit. Keys without text
// (arrows), Delete (whatever text it carries), shortcuts with Ctrl, Alt or
// Meta, and the dialog keys Enter, Esc and Tab pass untouched so that editing
// and the dialog's default and cancel buttons keep working.
void install(QLineEdit* edit, Kind kind);

} // namespace KeyFilters
