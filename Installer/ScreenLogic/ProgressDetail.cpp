#include "Installer/ScreenLogic/ProgressDetail.h"

#include <cmath>
#include <vector>

#include "Installer/ScreenLogic/MessageFormat.h"
#include "resources/strings/MessageIds.h"

namespace {

constexpr double kUnit = 1024.0;

std::wstring Fill(const std::wstring& format, const std::vector<std::wstring>& values) {
  std::vector<MessageArgument> arguments;
  for (const std::wstring& value : values) arguments.push_back(MessageArgument::Text(value));
  return FormatMessageText(format, arguments);
}

std::wstring Grouped(std::uint64_t whole, const std::wstring& separator) {
  const std::wstring digits = std::to_wstring(whole);
  std::wstring out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

// Below 100 units one decimal, from 100 on none: three significant digits
// at most, as Explorer shows sizes.
int DecimalsFor(double value) { return std::round(value * 10.0) / 10.0 < 100.0 ? 1 : 0; }

}  // namespace

DetailMessages DetailMessages::Load(const std::function<std::wstring(int)>& text) {
  DetailMessages m;
  m.of = text(IDS_DETAIL_OF);
  m.speed = text(IDS_DETAIL_SPEED);
  m.timeLeft = text(IDS_DETAIL_TIME_LEFT);
  m.stalled = text(IDS_DETAIL_STALLED);
  m.retrying = text(IDS_DETAIL_RETRYING);
  m.files = text(IDS_DETAIL_FILES);
  m.bytes = text(IDS_SIZE_BYTES);
  m.kilobytes = text(IDS_SIZE_KB);
  m.megabytes = text(IDS_SIZE_MB);
  m.gigabytes = text(IDS_SIZE_GB);
  m.seconds = text(IDS_TIME_SECONDS);
  m.minutes = text(IDS_TIME_MINUTES);
  m.hours = text(IDS_TIME_HOURS);
  return m;
}

std::wstring NumberText(double value, int decimals, const Platform::NumberSymbols& symbols) {
  if (!std::isfinite(value) || value < 0 || value > 1e15) return std::wstring();
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const auto scaled = static_cast<std::uint64_t>(std::llround(value * static_cast<double>(scale)));
  std::wstring text = Grouped(scaled / scale, symbols.thousands);
  if (decimals <= 0) return text;
  std::wstring fraction = std::to_wstring(scaled % scale);
  fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), L'0');
  return text + symbols.decimal + fraction;
}

std::wstring SizeText(double bytes, const DetailMessages& m, const Platform::NumberSymbols& symbols) {
  if (bytes < kUnit) return Fill(m.bytes, {NumberText(std::floor(bytes), 0, symbols)});
  const std::wstring* units[] = {&m.kilobytes, &m.megabytes, &m.gigabytes};
  double value = bytes / kUnit;
  std::size_t unit = 0;
  // 1000 KB and more is shown in MB: the line stays short.
  while (unit + 1 < 3 && std::round(value) >= 1000.0) {
    value /= kUnit;
    ++unit;
  }
  return Fill(*units[unit], {NumberText(value, DecimalsFor(value), symbols)});
}

std::wstring DurationText(int seconds, const DetailMessages& m, const Platform::NumberSymbols& symbols) {
  if (seconds < 60) return Fill(m.seconds, {NumberText(seconds, 0, symbols)});
  const int minutes = (seconds + 30) / 60;
  if (minutes < 60) return Fill(m.minutes, {NumberText(minutes, 0, symbols)});
  return Fill(m.hours, {NumberText(minutes / 60, 0, symbols), NumberText(minutes % 60, 0, symbols)});
}

namespace {

std::wstring BytesLine(const ProgressDetail& d, const DetailMessages& m, const Platform::NumberSymbols& symbols,
                       const std::wstring& separator) {
  const double done = static_cast<double>(d.done);
  std::wstring line = d.total >= 0
                          ? Fill(m.of, {SizeText(done, m, symbols), SizeText(static_cast<double>(d.total), m, symbols)})
                          : SizeText(done, m, symbols);
  if (d.bytesPerSecond >= 0) line += separator + Fill(m.speed, {SizeText(d.bytesPerSecond, m, symbols)});
  if (d.secondsLeft >= 0) line += separator + Fill(m.timeLeft, {DurationText(d.secondsLeft, m, symbols)});
  return line;
}

}  // namespace

std::wstring DetailText(const ProgressDetail& d, const DetailMessages& m, const Platform::NumberSymbols& symbols,
                        const std::wstring& separator) {
  switch (d.kind) {
    case ProgressDetail::Kind::Bytes:
      return BytesLine(d, m, symbols, separator);
    case ProgressDetail::Kind::Stalled:
      return Fill(m.stalled, {DurationText(d.waitSeconds, m, symbols)});
    case ProgressDetail::Kind::Retrying:
      return Fill(m.retrying, {DurationText(d.waitSeconds, m, symbols)});
    case ProgressDetail::Kind::Files:
      return Fill(m.files, {NumberText(static_cast<double>(d.done), 0, symbols),
                            NumberText(static_cast<double>(d.total), 0, symbols)});
    case ProgressDetail::Kind::None:
      break;
  }
  return std::wstring();
}
