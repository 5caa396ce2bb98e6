#include "Installer/ScreenLogic/MessageFormat.h"

#include <cmath>

namespace {

// "%.0f": the number rounded to a whole, as printf rounds it (half away
// from zero is close enough for the sizes the messages show).
std::wstring WholeNumber(double value) {
  if (!std::isfinite(value)) return std::wstring();
  const double rounded = std::round(value);
  if (std::fabs(rounded) > 1e15) return std::wstring();
  return std::to_wstring(static_cast<long long>(rounded));
}

}  // namespace

std::wstring FormatMessageText(const std::wstring& format, const std::vector<MessageArgument>& arguments) {
  static const std::wstring kNumberPlaceholder = L"%.0f";
  std::wstring text;
  size_t next = 0;
  auto take = [&](MessageArgument::Kind kind) -> const MessageArgument* {
    if (next >= arguments.size()) return nullptr;
    const MessageArgument* argument = &arguments[next++];
    return argument->kind == kind ? argument : nullptr;
  };
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%' || i + 1 >= format.size()) {
      text += format[i];
      continue;
    }
    const wchar_t kind = format[i + 1];
    if (kind == L'%') {
      text += L'%';
      ++i;
    } else if (kind == L's') {
      if (const MessageArgument* argument = take(MessageArgument::Kind::Text)) text += argument->text;
      ++i;
    } else if (kind == L'c') {
      if (const MessageArgument* argument = take(MessageArgument::Kind::CodeUnit)) {
        if (argument->unit != 0) text += argument->unit;
      }
      ++i;
    } else if (format.compare(i, kNumberPlaceholder.size(), kNumberPlaceholder) == 0) {
      if (const MessageArgument* argument = take(MessageArgument::Kind::Number)) text += WholeNumber(argument->value);
      i += kNumberPlaceholder.size() - 1;
    } else {
      text += format[i];
    }
  }
  return text;
}
