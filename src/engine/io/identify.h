// The real type of a file from its first bytes: named for the debug log, and
// sorted for the loader (camera container, other known content, or unknown).
#pragma once

#include <string>
#include <string_view>

namespace quill {

/// The type name of the file's signature, as the debug log prints it.
std::string identifyFileType(const std::string& path);
/// The same from bytes already read.
std::string identifyFileTypeOf(std::string_view firstBytes);

/// What a file's first bytes make of it, for the loader: only content nothing
/// recognises may be taken as headerless pixel data.
enum class ContentKind {
    unknown,  // no signature and not text: possibly pixel data
    camera,   // a camera container (TIFF and its kin, CIFF, QuickTake, ...)
    other,    // a signature of the table above, or text
};

/// How many leading bytes contentKindOf looks at.
constexpr size_t kContentSampleBytes = 4096;

/// The kind of content from up to kContentSampleBytes of its start.
ContentKind contentKindOf(std::string_view firstBytes);

}  // namespace quill
