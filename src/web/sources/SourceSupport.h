#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Small pieces every web source shares.
namespace SourceSupport {

// "host" or "host:port" of an address: the part a follow-up request reuses
// to reach the same server that answered.
QString hostOf(const QString& url);

// The hit comparison text, "%@ / %@"; a missing part stands as empty text.
QString compareString(const QString& artist, const QString& album);

// Reads the text as a hexadecimal number the way the C library's "%x"
// conversion does (leading white space, an optional sign and "0x" allowed,
// reading stops at the first non-digit); none when no digit is read. The
// value is kept to 32 bits, as disc identifiers are.
std::optional<std::uint32_t> readHex(const QString& text);

// A disc key part: the category, "/", the identifier as 8 lower-case
// hexadecimal digits.
QString discKey(const QString& category, std::uint32_t discId);

// Result keys are stored in the custom tag one per line and name the item a
// detail request asks for, so each source accepts only its own shape.
// The eleven categories of the disc database, as it spells them.
bool isDiscCategory(const QString& category);
// A disc key part as discKey makes it, with a known category.
bool isDiscKey(const QString& keyPart);
// A site's item reference as a page links it: 1 to 256 visible ASCII
// characters, none of them a quote, an angle bracket or a backslash.
bool isPlainReference(const QString& reference);

// The first run of decimal digits in a text (anything before it skipped);
// none when the text holds no digit.
std::optional<QString> firstDigitRun(const QString& text);

// The leading decimal integer of a text, as a C "%d" conversion reads it
// (white space and a sign allowed in front); 0 when there is none.
int intValue(const QString& text);

// Trims spaces and tabs (not line breaks) at both ends.
QString trimSpacesTabs(const QString& text);

} // namespace SourceSupport
