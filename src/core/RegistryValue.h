#pragma once

#include <cstdint>
#include <string>

// What a registry value, read as its type and raw bytes into a buffer, becomes as text.
//
// A string (type 1) is its bytes without the terminating zero byte when it was stored with one, all of
// them otherwise. A 32-bit number (type 4, least significant byte first) is "&h" and its hexadecimal
// digits, most significant first, without leading zeros (0x1F gives "&h1F"). Any other type is found
// but leaves the text as it was. A value of no bytes, or of more than the buffer holds, cannot be cut.
//
// Plain C++ with no toolkit, so that it builds for every target the program has.
namespace RegistryValue {

constexpr std::uint32_t String = 1;
constexpr std::uint32_t ExpandString = 2;
constexpr std::uint32_t Dword = 4;

enum class Outcome { Text, Unchanged, Failed };

Outcome cut(std::uint32_t type, const char *data, std::uint32_t size, std::uint32_t capacity,
            std::string &text);

std::string dwordText(const char *data, std::uint32_t size);

} // namespace RegistryValue
