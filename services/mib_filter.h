#pragma once
// The MIB dialog's input fields: which characters each takes, how long it may grow,
// and the layout its text is rewritten to after every change.

#include <cstddef>
#include <string>

enum MibField { MIB_FIELD_COMMUNITY, MIB_FIELD_STRING, MIB_FIELD_INTEGER, MIB_FIELD_OBJECT_ID, MIB_FIELD_OID_VALUE };

// The longest laid-out text of the field.
size_t MibFieldLimit(int field);

// The field's text after a change and the caret in it. 1 with the text laid out and the
// caret behind the same character as before; 0 when the change is refused and must be undone.
int MibFilter(int field, const std::string& text, size_t caret, std::string* laidOut, size_t* newCaret);
