#pragma once
// Texts shown by the interface are translated strings that serve as printf formats. Formatted
// without arguments they must never read one: "%%" shows as '%', and every other '%' (a "%s", a
// "%d", a trailing '%') is shown as written.

#include <string>

class Text;

// What the text shows: format with every "%%" turned into '%', everything else as written.
// A null format gives an empty text.
std::string formatWithoutArguments(const char* format);

// The text node shows format formatted without arguments. Nothing for a null node.
void setTextWithoutArguments(Text* text, const char* format);
