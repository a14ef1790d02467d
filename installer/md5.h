// The MD5 message digest (RFC 1321), used for the machine id and to sign
// statistics requests. May be called from any thread.
#pragma once

#include <string>

// MD5 of `bytes` as 32 lowercase hexadecimal characters, high nibble first.
std::string Md5Hex(const std::string& bytes);
