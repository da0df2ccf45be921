#pragma once
// Item text helpers (item text is a byte string: ANSI, or UTF-16LE when the item's options hold
// rvioUnicode), code-page conversions, tab expansion, line-break search and colour modes.

#include <cstdint>
#include <string>
#include <string_view>

#include "richtext/document/RVTypes.h"

namespace epc {

// Characters of an item text: bytes, or bytes / 2 for UTF-16 text.
int GetTextCharLength(std::string_view text, uint8_t options);
// Count characters from the 1-based Start (cut at the end of the text).
std::string CopyItemTextChars(std::string_view text, uint8_t options, int start, int count);
void DeleteTextChars(std::string& text, uint8_t options, int start, int count);
// Inserts Inserted (in the same encoding) before the 1-based position Pos.
void InsertTextChars(std::string& text, uint8_t options, int pos, std::string_view inserted);
bool IsSpaceCharAt(std::string_view text, int position, uint8_t options);
// Raises ERichViewError "Can't perform Unicode operation" for an odd byte length.
void CheckEvenUnicodeLength(std::string_view text);

// ANSI <-> UTF-16LE held in a byte string. Code page 0 is the system's; '?' replaces what
// cannot be converted.
std::string AnsiToUnicodeCP(std::string_view ansi, uint32_t codePage);
std::string UnicodeToAnsiCP(std::string_view utf16, uint32_t codePage);
std::string AnsiToUnicodeKeyboard(std::string_view ansi);
uint32_t GetKeyboardCodePage();

// Upper-cased when AllCaps is set, else unchanged.
std::string ApplyAllCaps(std::string_view text, bool unicode, bool allCaps, uint32_t codePage);

std::string ExpandTabsA(std::string_view text, int spacesInTab);
std::string ExpandTabsW(std::string_view utf16, int spacesInTab);

// 1-based position of the byte, 0 when absent.
int FindByteInBuffer(const char* buffer, char byte, int length);
const char16_t* FindWideChar(const char16_t* buffer, char16_t c, int length);

// In Text[0 .. Length), the 0-based index at or before Index (also 0-based) at which a line may
// break: a space there (the line ends before it), or a character that may begin a new line after
// the one before it by the pair table of line-breaking classes (RVLineBreak.h); never inside a
// surrogate pair or before a combining mark, never a class break at 0. An Index past the end
// searches from the last character; -1 when there is no break position (or Index < 0).
int FindLineBreakPosW(const char16_t* text, int length, int index);

// Item text to UTF-16 and back (for callers that need wide text whatever the item holds).
std::u16string ItemTextToWide(std::string_view text, uint8_t options, uint32_t codePage);

TColor ColorToGray(TColor color);
TColor SystemColorToPrintable(TColor color);
TColor ApplyColorModeToTextColor(TColor color, TRVColorMode mode);
TColor ApplyColorModeToBackColor(TColor color, TRVColorMode mode);
std::string ColorToHtmlHex(TColor color);
std::string BackslashesToSlashes(std::string_view path);

// A new copy of the tag value (a string copy when tags are strings); an empty tag stays empty.
TRVTag CopyTagValue(const TRVTag& tag, bool tagsArePChars);

} // namespace epc
