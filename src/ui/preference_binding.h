// Filling a preferences row from the settings and storing it back, one rule
// per kind of row. Rows whose list shows none of its items (a code from a
// file that the list does not offer) leave their setting as it was.
#pragma once

#include "ui/preference_rows.h"

namespace quill {

struct WindowRecords;

void fillRow(const PreferenceRow& row, WindowRecords& records);
void storeRow(const PreferenceRow& row, WindowRecords& records);

/// The colour items of a history list: swatch, name, value.
void addColourItem(const PreferenceRow& row, uint32_t value, WindowRecords& records);
/// The item carrying that value, or -1.
int itemWithValue(const PreferenceRow& row, int value);

/// A text field's content as stored: when not empty, blanks removed at both
/// ends and every tab, carriage return and line feed removed.
std::string cleanedText(const QString& text);

int32_t settingNumber(const Settings& settings, SettingMember member);
void setSettingNumber(Settings& settings, SettingMember member, int32_t number);
std::string* settingText(Settings& settings, SettingMember member);

}  // namespace quill
