// What several of the native tests build their inputs with.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using Strings = std::vector<std::string>;

// Bytes written as numbers, NULs and high bytes alike.
inline std::string B(std::initializer_list<int> bytes) { return std::string(bytes.begin(), bytes.end()); }

// The bytes of a string as the units' byte-pointer parameters take them.
inline const unsigned char* U(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }
