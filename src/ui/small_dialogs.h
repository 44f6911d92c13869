// The custom converter ("Find a File Converter", window 6) and the About
// window (window 8): small windows over the main window, which they block
// while they are open.
#pragma once

#include <QString>

#include <string>

namespace quill {

class MainWindow;

/// A typed extension as the search takes it: lower-cased, cut to its first
/// 12 characters, then only 0-9, A-Z and a-z kept.
std::string converterSearchTerm(const QString& typed);

/// The maker's converter search page for the two extensions.
std::string converterSearchAddress(const std::string& from, const std::string& to);

/// Opens the custom converter and returns at once.
void showCustomConverter(MainWindow& window);

/// Opens the About window and returns at once.
void showAbout(MainWindow& window);

}  // namespace quill
