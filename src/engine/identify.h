// The real type of a file from its first bytes, for the debug log.
#pragma once

#include <string>
#include <string_view>

namespace quill {

/// The type name of the file's signature, as the debug log prints it.
std::string identifyFileType(const std::string& path);
/// The same from bytes already read.
std::string identifyFileTypeOf(std::string_view firstBytes);

}  // namespace quill
