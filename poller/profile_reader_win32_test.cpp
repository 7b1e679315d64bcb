// The profile reader held against the Windows private-profile function itself: every file of a
// corpus generated here is read with both, and the sections, keys and values must agree, except
// where the reader differs on purpose. The Windows function is asked as the task once asked it:
// 16384-byte lists and 2048-byte values.

#include "poller/profile_reader.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "testing/temp_directory.h"

namespace zelsnmp {
namespace {

using namespace std::string_literals;

constexpr DWORD kListBytes = 16384;
constexpr DWORD kValueBytes = 2048;

// A double-zero list as the Windows function fills it, read as its callers read it: it ends at
// the first empty name.
std::vector<std::string> SplitList(const std::vector<char>& buffer, DWORD length) {
  std::vector<std::string> names;
  std::string_view rest(buffer.data(), length);
  while (!rest.empty() && rest.front() != '\0') {
    const std::size_t end = rest.find('\0');
    names.emplace_back(rest.substr(0, end));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return names;
}

std::vector<std::string> WindowsList(const char* section, const std::string& path) {
  std::vector<char> buffer(kListBytes);
  const DWORD length =
      ::GetPrivateProfileStringA(section, nullptr, "", buffer.data(), kListBytes, path.c_str());
  return SplitList(buffer, length);
}

std::string WindowsValue(const std::string& section, const std::string& key,
                         const std::string& path) {
  char buffer[kValueBytes];
  const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer,
                                                  kValueBytes, path.c_str());
  return std::string(buffer, length);
}

// ASCII letters raised and blanks put around: a name asked for as an operator might write it.
std::string Respelled(const std::string& name) {
  std::string text = " ";
  for (char c : name) text += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return text + "\t";
}

// Everything the Windows function shows of a file: each listed section with its listed keys
// and their values in <>, then each value asked again with the names respelled.
std::string WindowsDump(const std::string& path) {
  std::string dump;
  for (const std::string& section : WindowsList(nullptr, path)) {
    dump += "[" + section + "]\n";
    for (const std::string& key : WindowsList(section.c_str(), path)) {
      dump += key + "=<" + WindowsValue(section, key, path) + "><" +
              WindowsValue(Respelled(section), Respelled(key), path) + ">\n";
    }
  }
  return dump;
}

// The same view of our reader, from the entries of each section (each with its own value).
std::string OurDump(const std::string& path) {
  const ProfileReader reader = ProfileReader::FromFile(path);
  std::string dump;
  for (const std::string& section : reader.SectionNames()) {
    dump += "[" + section + "]\n";
    for (const ProfileReader::Entry& entry : reader.Entries(section)) {
      dump += entry.key + "=<" + entry.value + "><" +
              reader.Value(Respelled(section), Respelled(entry.key)) + ">\n";
    }
  }
  return dump;
}

struct CorpusFile {
  const char* name;
  std::string contents;
};

std::string Utf16(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

std::string LongValues() {
  std::string text = "[a]\n";
  for (int length = 2045; length <= 2050; ++length) {
    const std::string n = std::to_string(length);
    text += "plain" + n + "=" + std::string(length, 'v') + "\n";
    if (length != 2049) text += "quoted" + n + "=\"" + std::string(length - 2, 'q') + "\"\n";
    text += "blank" + n + "=" + std::string(length - 1, 'b') + " \n";
  }
  return text;
}

// 600 agents of 31 bytes each with their terminators: more than a 16384-byte list holds.
std::string ManySections() {
  std::string text;
  for (int i = 0; i < 600; ++i) {
    text += "[10.0." + std::to_string(100 + i / 100) + "." + std::to_string(100 + i % 100) +
            ":community-name-x]\nk=" + std::to_string(i) + "\n";
  }
  return text;
}

// 600 keys of 31 bytes each with their terminators.
std::string ManyKeys() {
  std::string text = "[a]\n";
  for (int i = 0; i < 600; ++i) {
    text += "#TC1:1:" + std::to_string(1000 + i) + "-long-point-name-x=" + std::to_string(i) + "\n";
  }
  return text;
}

// Files on which both must read the same.
std::vector<CorpusFile> SameCorpus() {
  return {
      {"comments", "[a]\n;k=1\n  ;j=2\nl=3\n# note\nword\n#TC1:2:3=1.3.6.1\nk;=4\n; x\n"},
      {"blanks", " \t[ a b ]\t \n\t k \v= \f v  w \t\nmy key = my  value\n\xA0k\xA0=\xA0v\n"},
      {"quotes",
       "[a]\nd=\"  x  \"\ns='x'\nt=  'x'  \ne=\"\"\nl=\"\nm=\"x'\nu=\"x\" ; c\no=\"\"x\"\"\n"
       "i=\"a\"b\"\n\"k\"=v\n[\"q\"]\nk=1\n"},
      {"case", "[Agent]\nOid=1\nlower=2\n[OTHER]\nUPPER=3\n"},
      {"brackets",
       "[a]\n[b\n[c=1\nx[b]=1\n[s]]\nk=1\n[t]junk\nj=2\n[u]v]w\nm=3\n[10.0.0.1:public]\nn=4\n"},
      {"before_first_section", "k=0\nword\n[a]\nk=1\n"},
      {"empty_sections", "[a]\n[b]\nk=1\n[]\nx=2\n[ ]\ny=3\n[c]\n"},
      {"equals", "[a]\nk==v=w\nb=2 ; c\nj=\nh=  \n"},
      {"crlf", "[a]\r\nk=1\r\nj=2\r\n"},
      {"cr_only", "[a]\rk=1\rj=2\r[b]\rl=3"},
      {"mixed_line_ends", "[a]\r\nk=1\nj=2\rl=3\n\r\n\r[b]\n\rm=4"},
      {"end_of_file_mark", "[a]\x1A\nk=1.3.6\x1A\n\x1A[b]\nj=2\x1A\n\x1A\x1A"},
      {"zero_bytes",
       "[a\0b]\nk=1\n[s\0]x]\nj=2\n[c]\nk\0z=v\nl\0=x=y\nm=v\0w\nn=\0v\nq=\"x\"\0y\nr=\"x\0y\"\n"s},
      {"utf8_mark", "\xEF\xBB\xBF[\xD0\x90\xD0\xB3]\nk=\xD0\xB7\xD0\xBD \xE2\x80\xB0\n"},
      {"utf16le_mark", Utf16(u"[\u0410\u0433]\r\nk=\u0437\u043d \u2030\r\n", false)},
      {"utf16be_mark", Utf16(u"[\u0410\u0433]\nk=\u0437\u043d\n", true)},
      {"cp1251_bytes", "[\xC0\xE3\xE5\xED\xF2]\n\xEA\xEB=\xE7\xED\xE0\xF7\n"},
      {"long_values", LongValues()},
      {"long_key", "[a]\n" + std::string(5000, 'k') + "=1\n"},
      {"cyrillic_case", "[\xC0\xC3]\nk=1\n[\xE0\xE3]\nk=2\n\xCA=3\n\xEA=4\n"},
  };
}

TEST(ProfileReaderAgainstWindowsTest, SameSectionsKeysAndValues) {
  // The task's files are Windows-1251 text, read where that is the ANSI code page (under Wine:
  // LANG=ru_RU.UTF-8, with that locale present).
  ASSERT_EQ(::GetACP(), 1251u) << "the ANSI code page must be 1251";
  testing_support::TempDirectory dir;
  for (const CorpusFile& file : SameCorpus()) {
    const std::string path = dir.Write(std::string(file.name) + ".ini", file.contents);
    EXPECT_EQ(OurDump(path), WindowsDump(path)) << file.name;
  }
}

// Where the reader differs on purpose, each difference is pinned: what the Windows function
// shows, and what the reader shows instead.
struct DifferentFile {
  const char* name;
  std::string contents;
  std::string windows_dump;
  std::string our_dump;
};

const DifferentFile kDifferentCorpus[] = {
    // A section named again is listed again there and reaches only the first one's lines;
    // here it is listed once and holds the lines of all its occurrences.
    {"duplicate_sections", "[a]\nk=1\n[b]\nj=2\n[A]\nl=3\nk=9\n[a]\nm=4\n",
     "[a]\nk=<1><1>\n[b]\nj=<2><2>\n[A]\nk=<1><1>\n[a]\nk=<1><1>\n",
     "[a]\nk=<1><1>\nl=<3><3>\nk=<9><1>\nm=<4><4>\n[b]\nj=<2><2>\n"},
    // Every duplicate key gets the first one's value there; here each line keeps its own
    // (asked by name, the first one's).
    {"duplicate_keys", "[a]\nk=1\nK=2\nk=3\n", "[a]\nk=<1><1>\nK=<1><1>\nk=<1><1>\n",
     "[a]\nk=<1><1>\nK=<2><1>\nk=<3><1>\n"},
    // An empty key ends the double-zero key list there, and every later key is lost.
    {"empty_key", "[a]\nk=1\n=v\n  = w\nj=2\n", "[a]\nk=<1><1>\n",
     "[a]\nk=<1><1>\nj=<2><2>\n"},
    // A section name with a blank before a zero byte is listed with the blank there, and no
    // lookup (trimmed) reaches its lines; here the name is cut, then trimmed.
    {"blank_before_zero_in_section_name", "[127.0.0.3:public\t\0y]\nk=1\n[127.0.0.4]\nj=2\n"s,
     "[127.0.0.3:public\t]\nk=<><>\n[127.0.0.4]\nj=<2><2>\n",
     "[127.0.0.3:public]\nk=<1><1>\n[127.0.0.4]\nj=<2><2>\n"},
    // A quoted value of exactly 2047 bytes within its quotes loses its last byte there (the
    // closing quote is taken off after the cut to the buffer); here it keeps all 2047.
    {"quoted_value_of_2047_bytes", "[a]\nq=\"" + std::string(2046, 'q') + "z\"\n",
     "[a]\nq=<" + std::string(2046, 'q') + "><" + std::string(2046, 'q') + ">\n",
     "[a]\nq=<" + std::string(2046, 'q') + "z><" + std::string(2046, 'q') + "z>\n"},
};

TEST(ProfileReaderAgainstWindowsTest, DeliberateDifferences) {
  testing_support::TempDirectory dir;
  for (const DifferentFile& file : kDifferentCorpus) {
    const std::string path = dir.Write(std::string(file.name) + ".ini", file.contents);
    EXPECT_EQ(WindowsDump(path), file.windows_dump) << file.name;
    EXPECT_EQ(OurDump(path), file.our_dump) << file.name;
  }
}

// A list beyond 16384 bytes: the Windows function gives the names that fit and a piece of the
// next one; the reader gives them all.
void ExpectListCut(const std::vector<std::string>& windows, const std::vector<std::string>& ours,
                   std::size_t expected_count) {
  ASSERT_EQ(ours.size(), expected_count);
  ASSERT_FALSE(windows.empty());
  ASSERT_LT(windows.size(), ours.size());
  std::size_t bytes = 0;
  for (std::size_t i = 0; i + 1 < windows.size(); ++i) {
    EXPECT_EQ(windows[i], ours[i]);
    bytes += windows[i].size() + 1;
  }
  const std::string& piece = windows.back();
  EXPECT_LT(piece.size(), ours[windows.size() - 1].size());
  EXPECT_TRUE(ours[windows.size() - 1].starts_with(piece)) << piece;
  EXPECT_LE(bytes + piece.size() + 2, kListBytes);
  EXPECT_GT(bytes + ours[windows.size() - 1].size() + 2, kListBytes);
}

TEST(ProfileReaderAgainstWindowsTest, ListsHaveNoSizeLimit) {
  testing_support::TempDirectory dir;
  const std::string agents = dir.Write("agents.ini", ManySections());
  ExpectListCut(WindowsList(nullptr, agents), ProfileReader::FromFile(agents).SectionNames(),
                600);
  const std::string points = dir.Write("points.ini", ManyKeys());
  ExpectListCut(WindowsList("a", points), ProfileReader::FromFile(points).KeyNames("a"), 600);
}

}  // namespace
}  // namespace zelsnmp
