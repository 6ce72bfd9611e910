#pragma once

class QComboBox;

namespace admin {

// Makes a list (a non-editable QComboBox) with an accessible name announce that name. Qt's own
// accessible list on Linux gives its current text as its name and leaves the label to
// relations, so a list without a label of its own was announced by its current choice. The
// list keeps its role, its value (the current text), its popup child and its actions.
// Safe to call more than once; takes effect for every such list in the program.
void installNamedComboBoxes();

} // namespace admin
