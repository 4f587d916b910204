#pragma once

#include <cstdint>
#include <string>

// Strict number reading for command-line values: the whole text must be the
// number, so "12x", "" and values out of range are refused rather than
// half-read the way strtoul would.

// Decimal, or hexadecimal after "0x"/"0X"; at most nMax.
bool ParseUnsigned(const std::string& str, uint64_t nMax, uint64_t& nValue);

// A process exit code: decimal (a leading '-' gives the two's complement
// form, so "-1" is 0xFFFFFFFF) or "0x" hexadecimal of up to 32 bits.
bool ParseExitCode(const std::string& str, uint32_t& nCode);
