// Values put into the markup of a link control (SysLink). Its parser knows only "<a>" or "<a " with
// quoted attributes, and "</a>" (any case); elsewhere every character is shown as it is, and a line
// break starts a new line. It has no escape sequence of its own.
#pragma once
#include <string>
#include <utility>
#include <vector>

// Text shown between tags exactly as the reader should see it: every "<" is followed by an invisible
// zero-width non-joiner, so that no tag can begin there, and a control character (a line break, a tab)
// becomes a space, so that the text keeps to the lines of the sentence around it.
std::wstring EscapeLinkText(const std::wstring& text);

// An address for a quoted href value: the quote that would end the value, the angle brackets, the
// apostrophe and control characters are percent-encoded, which leaves the address it names unchanged.
std::wstring EscapeLinkAddress(const std::wstring& address);

// Replaces every placeholder (the first of each pair) by its value in one pass over the markup: a value
// is never searched again, so one that holds a placeholder keeps it as it is.
std::wstring FillLinkMarkup(const std::wstring& markup,
                            const std::vector<std::pair<std::wstring, std::wstring>>& values);
