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

// The first run of decimal digits in a text (anything before it skipped);
// none when the text holds no digit.
std::optional<QString> firstDigitRun(const QString& text);

// The leading decimal integer of a text, as a C "%d" conversion reads it
// (white space and a sign allowed in front); 0 when there is none.
int intValue(const QString& text);

// Trims spaces and tabs (not line breaks) at both ends.
QString trimSpacesTabs(const QString& text);

} // namespace SourceSupport
