// Chooser filter strings ("description|*.a;*.b|...") as Qt name filters.
#pragma once

#include <QStringList>

#include <string>

namespace quill {

struct FormatTables;
struct LanguageTable;

/// The input-file chooser's filter string: every accepted pattern, then one
/// group per description in table order, then all files.
std::string inputFileFilter(const FormatTables& tables, LanguageTable& language);

/// Pairs of description and patterns become "description (patterns)". Files
/// from cameras and other systems often carry upper-case extensions, which
/// Linux file systems tell apart, so each pattern is offered in both cases;
/// "*.*" becomes "*" and a description's own " (*.*)" is dropped.
QStringList nameFilters(const std::string& filter);

}  // namespace quill
