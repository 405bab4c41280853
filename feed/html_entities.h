// The named character references a feed title may hold: the 252 entities of
// HTML 4 and the "apos" of XML. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>

// The Unicode code point of the entity `name` (its `length` bytes, without
// '&' and ';'; names are case-sensitive: "Uuml" is not "uuml"), or 0 when
// there is no entity of that name.
uint32_t NamedEntityCodePoint(const char* name, size_t length);

// The character that a numeric reference to `value` stands for as browsers
// read it: 128-159 are taken as Windows-1252 (146 is U+2019), whose five
// unassigned values stay as they are; every other value is itself.
uint32_t ReferencedCodePoint(uint32_t value);
