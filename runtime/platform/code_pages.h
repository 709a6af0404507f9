// Text in the system's code pages: conversion to and from UTF-16, the lead
// bytes of double-byte pages, the code page of the system's own text, and
// the user's locale ordering. Code pages are numbered as on Windows (1252,
// 932, 65001 for UTF-8, 1200/1201 for UTF-16 LE/BE, 12000/12001 for UTF-32
// LE/BE, 20127 for ASCII, 10000 and up for the Mac pages).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corv::platform {

/// Whether the system converts by this code page.
bool CodePageAvailable(uint32_t codePage);

/// Decodes bytes of the code page into UTF-16 units, replacing `out`.
/// Without `exact`, a malformed, unassigned or cut-off sequence becomes a
/// replacement character; with it, it fails the decoding. False as well
/// when the page is not available.
bool DecodeCodePage(uint32_t codePage, const char *bytes, size_t length, bool exact,
                    std::u16string *out);

/// Appends the units encoded in the code page to `out`. A character the
/// page lacks becomes its default character: "?" in pages of single-byte
/// characters (UTF-8 writes U+FFFD for a lone surrogate). False when the
/// page is not available or the encoding fails.
bool AppendInCodePage(uint32_t codePage, const char16_t *units, size_t count, std::string *out);

/// Marks in `lead` the bytes that start a two-byte character of a
/// double-byte code page; false, with nothing marked, for any other page.
bool FindLeadBytes(uint32_t codePage, bool lead[256]);

/// The available code page that the system's own text is in; 0 when the
/// system names a character set that none of them stands for.
uint32_t SystemCodePage();

/// Orders two texts as the user's locale does, case and accents aside
/// (case ignored, accents not): -1, 0 or 1. 0 when the system has no such
/// ordering.
int CompareInLocale(std::u16string_view a, std::u16string_view b);

}  // namespace corv::platform
