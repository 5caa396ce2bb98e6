// The progress screen's detail line in each of the twelve languages, made
// from the very message files the string table is built from, and the
// sizes, speeds and times it is made of.
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "Installer/ScreenLogic/ProgressDetail.h"
#include "Platform/Text/TextConversion.h"

namespace {

using Kind = ProgressDetail::Kind;

// One message file: "BASEID = text", "\n" a line break, "\\" a backslash.
std::map<int, std::wstring> ReadMessages(const std::string& language) {
  std::ifstream file(std::string(KORVANE_MESSAGES_DIR) + "/" + language + ".txt", std::ios::binary);
  std::map<int, std::wstring> messages;
  std::string line;
  while (std::getline(file, line)) {
    const std::size_t equals = line.find(" = ");
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    std::string text;
    for (std::size_t i = equals + 3; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        text += line[++i] == 'n' ? '\n' : line[i];
      } else {
        text += line[i];
      }
    }
    messages[std::stoi(line.substr(0, equals))] = Platform::Utf8ToUtf16(text);
  }
  return messages;
}

DetailMessages MessagesOf(const std::string& language) {
  const std::map<int, std::wstring> messages = ReadMessages(language);
  return DetailMessages::Load([&](int id) {
    const auto found = messages.find(id);
    return found == messages.end() ? std::wstring() : found->second;
  });
}

const Platform::NumberSymbols kPoint{L".", L","};
const Platform::NumberSymbols kComma{L",", L"."};
const Platform::NumberSymbols kCommaSpace{L",", L"\u00a0"};

ProgressDetail Download(std::uint64_t done, std::int64_t total, double speed, int secondsLeft) {
  ProgressDetail d;
  d.kind = Kind::Bytes;
  d.done = done;
  d.total = total;
  d.bytesPerSecond = speed;
  d.secondsLeft = secondsLeft;
  return d;
}

ProgressDetail Wait(Kind kind, int seconds) {
  ProgressDetail d;
  d.kind = kind;
  d.waitSeconds = seconds;
  return d;
}

ProgressDetail Files(std::uint64_t done, std::int64_t total) {
  ProgressDetail d;
  d.kind = Kind::Files;
  d.done = done;
  d.total = total;
  return d;
}

constexpr std::uint64_t MB = 1024 * 1024;
// 23.4 MB of 155 MB at 5.8 MB/s, about 25 s left.
const ProgressDetail kMidDownload = Download(24536678, 155 * MB, 6081741, 25);

struct LanguageRow {
  const char* language;
  Platform::NumberSymbols symbols;
  const wchar_t* download;
  const wchar_t* stalled;
  const wchar_t* retrying;
  const wchar_t* files;
};

const LanguageRow kLanguages[] = {
    {"en", kPoint, L"23.4 MB of 155 MB · 5.8 MB/s · about 25 s left", L"No data for 15 s, reconnecting…",
     L"Connection lost, retrying in 4 s…", L"1,234 of 2,000 files"},
    {"de", kComma, L"23,4 MB von 155 MB · 5,8 MB/s · noch etwa 25 s", L"Keine Daten seit 15 s, neue Verbindung…",
     L"Verbindung unterbrochen, neuer Versuch in 4 s…", L"1.234 von 2.000 Dateien"},
    {"es", kComma, L"23,4 MB de 155 MB · 5,8 MB/s · quedan unos 25 s", L"Sin datos durante 15 s, reconectando…",
     L"Conexión perdida, reintentando en 4 s…", L"1.234 de 2.000 archivos"},
    {"fr", kCommaSpace, L"23,4 Mo sur 155 Mo · 5,8 Mo/s · encore environ 25 s",
     L"Aucune donnée depuis 15 s, reconnexion…", L"Connexion perdue, nouvel essai dans 4 s…",
     L"Fichiers : 1\u00a0234 sur 2\u00a0000"},
    {"it", kComma, L"23,4 MB di 155 MB · 5,8 MB/s · circa 25 s rimanenti", L"Nessun dato da 15 s, nuova connessione…",
     L"Connessione persa, nuovo tentativo tra 4 s…", L"1.234 di 2.000 file"},
    {"ja", kPoint, L"23.4 MB / 155 MB · 5.8 MB/秒 · 残り約 25 秒", L"15 秒間データがありません。再接続しています…",
     L"接続が切れました。4 秒後に再試行します…", L"1,234 / 2,000 ファイル"},
    {"ko", kPoint, L"23.4 MB / 155 MB · 5.8 MB/초 · 약 25초 남음", L"15초 동안 데이터 없음, 다시 연결하는 중…",
     L"연결이 끊어짐, 4초 후 다시 시도…", L"파일 1,234 / 2,000개"},
    {"pl", kCommaSpace, L"23,4 MB z 155 MB · 5,8 MB/s · pozostało około 25 s", L"Brak danych od 15 s, ponowne łączenie…",
     L"Utracono połączenie, ponowna próba za 4 s…", L"Pliki: 1\u00a0234 z 2\u00a0000"},
    {"pt-BR", kComma, L"23,4 MB de 155 MB · 5,8 MB/s · cerca de 25 s restantes", L"Sem dados há 15 s, reconectando…",
     L"Conexão perdida, tentando novamente em 4 s…", L"1.234 de 2.000 arquivos"},
    {"ru", kCommaSpace, L"23,4 МБ из 155 МБ · 5,8 МБ/с · осталось около 25 с",
     L"Нет данных уже 15 с, повторное подключение…", L"Соединение потеряно, повтор через 4 с…",
     L"Файлы: 1\u00a0234 из 2\u00a0000"},
    {"zh-Hans", kPoint, L"23.4 MB / 155 MB · 5.8 MB/秒 · 大约还剩 25 秒", L"15 秒内没有数据，正在重新连接…",
     L"连接已断开，4 秒后重试…", L"1,234 / 2,000 个文件"},
    {"zh-Hant", kPoint, L"23.4 MB / 155 MB · 5.8 MB/秒 · 大約還剩 25 秒", L"15 秒內沒有資料，正在重新連線…",
     L"連線已中斷，4 秒後重試…", L"1,234 / 2,000 個檔案"},
};

const std::wstring kDot = L" · ";

TEST(DetailText, EveryStateInEveryLanguage) {
  for (const LanguageRow& row : kLanguages) {
    SCOPED_TRACE(row.language);
    const DetailMessages messages = MessagesOf(row.language);
    EXPECT_EQ(DetailText(kMidDownload, messages, row.symbols, kDot), row.download);
    EXPECT_EQ(DetailText(Wait(Kind::Stalled, 15), messages, row.symbols, kDot), row.stalled);
    EXPECT_EQ(DetailText(Wait(Kind::Retrying, 4), messages, row.symbols, kDot), row.retrying);
    EXPECT_EQ(DetailText(Files(1234, 2000), messages, row.symbols, kDot), row.files);
    EXPECT_EQ(DetailText(ProgressDetail(), messages, row.symbols, kDot), L"");
  }
}

TEST(DetailText, LinesOfEverySpeedAndSize) {
  const DetailMessages en = MessagesOf("en");
  const struct {
    ProgressDetail detail;
    const wchar_t* text;
  } rows[] = {
      // A very slow line: bytes a second, and no time left days away.
      {Download(1500, 155 * MB, 300, -1), L"1.5 KB of 155 MB · 300 bytes/s"},
      // A very fast one.
      {Download(1288490189, 2147483647, 1.2 * 1024 * MB, 1), L"1.2 GB of 2.0 GB · 1.2 GB/s · about 1 s left"},
      // A package of unknown size, and a speed not measured yet.
      {Download(5 * MB, -1, 2 * MB, -1), L"5.0 MB · 2.0 MB/s"},
      {Download(5 * MB, 155 * MB, -1, -1), L"5.0 MB of 155 MB"},
      {Download(1023, 155 * MB, 0, -1), L"1,023 bytes of 155 MB · 0 bytes/s"},
      // Three significant digits, and a unit that is never above 1,000.
      {Download(102359, 1023692, 12 * 1024, 180), L"100 KB of 1.0 MB · 12.0 KB/s · about 3 min left"},
      {Download(5 * MB, 155 * MB, 40 * 1024, 3900), L"5.0 MB of 155 MB · 40.0 KB/s · about 1 h 5 min left"},
      {Files(7, 7), L"7 of 7 files"},
  };
  for (const auto& row : rows) EXPECT_EQ(DetailText(row.detail, en, kPoint, kDot), row.text);
  // Where the place is narrow, each part has a line of its own.
  EXPECT_EQ(DetailText(kMidDownload, en, kPoint, L"\n"), L"23.4 MB of 155 MB\n5.8 MB/s\nabout 25 s left");
}

TEST(NumberText, GroupsAndRoundsInTheUsersFormat) {
  EXPECT_EQ(NumberText(0, 0, kPoint), L"0");
  EXPECT_EQ(NumberText(999, 0, kPoint), L"999");
  EXPECT_EQ(NumberText(1234567, 0, kComma), L"1.234.567");
  EXPECT_EQ(NumberText(1234.56, 1, kCommaSpace), L"1\u00a0234,6");
  EXPECT_EQ(NumberText(0.04, 1, kPoint), L"0.0");
  EXPECT_EQ(NumberText(9.96, 1, kPoint), L"10.0");
  EXPECT_EQ(NumberText(-1, 0, kPoint), L"");
}

}  // namespace
