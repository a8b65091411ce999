// Texts from the inputs (names, comments) made safe for the formats the tracker writes: XML,
// JSON and CSV. Such texts are whatever the inputs sent, so any byte may come.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Length of the well-formed UTF-8 sequence of a non-ASCII character at the front of `text`
/// (2 to 4), or 0 when there is none: overlong forms, surrogates and code points past U+10FFFF
/// are not well-formed.
size_t utf8Length(std::string_view text);

/// Appends `text` as XML character data or attribute value (UTF-8): & < > " ' as entities; tab,
/// line feed and carriage return as character references so that they survive attribute
/// normalisation; other control characters, U+FFFE, U+FFFF and bytes that are not UTF-8 as
/// U+FFFD, the replacement character (XML 1.0 allows none of them, not even as references).
void appendXmlText(std::string& out, std::string_view text);

/// Appends `text` as a JSON string, quotes included: " and \ escaped, control characters as \n,
/// \t, ... or \u00XX, bytes that are not UTF-8 as U+FFFD.
void appendJsonString(std::string& out, std::string_view text);

/// Appends `text` as one CSV field: control characters (line breaks too) as blanks, so that
/// every row stays on one line; bytes that are not UTF-8 as U+FFFD; a field with a comma or a
/// double quote in it between double quotes, its quotes doubled (RFC 4180). Other fields are
/// written as they are, as the converter writes its texts.
void appendCsvField(std::string& out, std::string_view text);
