#pragma once
#include <string>
#include <vector>

// One value for a placeholder of a localized message.
struct MessageArgument {
  enum class Kind { Text, CodeUnit, Number };
  static MessageArgument Text(std::wstring text) { return {Kind::Text, std::move(text), 0, 0.0}; }
  static MessageArgument CodeUnit(wchar_t unit) { return {Kind::CodeUnit, std::wstring(), unit, 0.0}; }
  static MessageArgument Number(double value) { return {Kind::Number, std::wstring(), 0, value}; }

  Kind kind;
  std::wstring text;
  wchar_t unit;
  double value;
};

// Fills the placeholders of a message ("%s", "%c", "%.0f"; "%%" is a
// percent sign) with the arguments in order. The messages come from the
// program's resources, so they are never handed to printf: a placeholder
// whose argument is missing or of another kind comes out empty, and any
// other "%" sequence is copied as it stands.
std::wstring FormatMessageText(const std::wstring& format, const std::vector<MessageArgument>& arguments);
