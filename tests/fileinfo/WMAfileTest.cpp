#include "fileinfo/WMAfile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

using namespace fileinfo_test;

namespace {

const Bytes kHeaderId = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kFilePropertiesId = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Bytes kStreamPropertiesId = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Bytes kContentId = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kExtendedId = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

Bytes Object(const Bytes &Id, const Bytes &Body) {
  Bytes B = Id;
  AppendLE64(B, 24 + Body.size());
  Append(B, Body);
  return B;
}

Bytes FileProperties(uint32_t MaxBitRate) {
  Bytes Body(76, 0);
  AppendLE32(Body, MaxBitRate);
  return Object(kFilePropertiesId, Body);
}

Bytes StreamProperties(uint16_t Channels, uint32_t Rate, uint32_t ByteRate) {
  Bytes Body(56, 0);
  AppendLE16(Body, Channels);
  AppendLE32(Body, Rate);
  AppendLE32(Body, ByteRate);
  AppendZeros(Body, 8);
  return Object(kStreamPropertiesId, Body);
}

Bytes Wide(std::string_view S) {
  Bytes B;
  AppendUtf16(B, S);
  AppendLE16(B, 0);
  return B;
}

Bytes ContentDescription(std::string_view Title, std::string_view Author, std::string_view Description) {
  const Bytes Parts[5] = {Title.empty() ? Bytes{} : Wide(Title), Author.empty() ? Bytes{} : Wide(Author), Wide("(c)"),
                          Description.empty() ? Bytes{} : Wide(Description), Wide("R")};
  Bytes Body;
  for (const auto &P : Parts)
    AppendLE16(Body, static_cast<uint32_t>(P.size()));
  for (const auto &P : Parts)
    Append(Body, P);
  return Object(kContentId, Body);
}

struct Attribute {
  std::string Name;
  uint16_t Type;
  Bytes Value;
};

Bytes Extended(const std::vector<Attribute> &Attributes) {
  Bytes Body;
  AppendLE16(Body, static_cast<uint32_t>(Attributes.size()));
  for (const auto &A : Attributes) {
    const Bytes Name = Wide(A.Name);
    AppendLE16(Body, static_cast<uint32_t>(Name.size()));
    Append(Body, Name);
    AppendLE16(Body, A.Type);
    AppendLE16(Body, static_cast<uint32_t>(A.Value.size()));
    Append(Body, A.Value);
  }
  return Object(kExtendedId, Body);
}

Attribute Text(std::string Name, std::string_view Value) { return {std::move(Name), 0, Wide(Value)}; }

Bytes AsfFile(const std::vector<Bytes> &Objects, size_t DataBytes = 50000) {
  Bytes Inner;
  for (const auto &O : Objects)
    Append(Inner, O);
  Bytes B = kHeaderId;
  AppendLE64(B, 30 + Inner.size());
  AppendLE32(B, static_cast<uint32_t>(Objects.size()));
  B.push_back(1);
  B.push_back(2);
  Append(B, Inner);
  B.insert(B.end(), DataBytes, 0x77);
  return B;
}

std::vector<Bytes> Plain(uint16_t Channels = 2, uint32_t Rate = 48000, uint32_t ByteRate = 24000,
                         uint32_t MaxBitRate = 192000) {
  return {FileProperties(MaxBitRate), StreamProperties(Channels, Rate, ByteRate)};
}

struct Read {
  TempDir Dir;
  TWMAfile R;
  bool Ok;
  explicit Read(const Bytes &File) { Ok = R.ReadFromFile(Dir.Write("a.wma", File)); }
};

} // namespace

TEST(WMAfile, PropertiesAndTexts) {
  auto Objects = Plain();
  Objects.push_back(ContentDescription("Title", "Author", "Words"));
  Objects.push_back(Extended({Text("WM/AlbumTitle", "Album"), Text("WM/Track", " 5 "), Text("WM/Year", "2001"),
                              Text("wm/genre", "Pop"), {"WM/Picture", 1, Bytes(40, 0xEE)}}));
  const Bytes File = AsfFile(Objects);
  Read T(File);
  ASSERT_TRUE(T.Ok);
  const auto &R = T.R;
  EXPECT_TRUE(R.Valid());
  EXPECT_EQ(R.FileSize(), static_cast<int32_t>(File.size()));
  EXPECT_EQ(R.Channels(), 2);
  EXPECT_EQ(R.SampleRate(), 48000);
  EXPECT_EQ(R.BitRate(), 192);
  EXPECT_DOUBLE_EQ(R.Duration(), File.size() * 8.0 / 192000);
  EXPECT_EQ(R.Title(), "Title");
  EXPECT_EQ(R.Artist(), "Author");
  EXPECT_EQ(R.Comment(), "Words");
  EXPECT_EQ(R.Album(), "Album");
  EXPECT_EQ(R.Track(), 5);
  EXPECT_EQ(R.Year(), "2001");
  EXPECT_EQ(R.Genre(), "Pop");
}

TEST(WMAfile, LaterObjectWinsAndNumbersAreSkipped) {
  Bytes Dword;
  AppendLE32(Dword, 9);
  auto Objects = Plain();
  Objects.push_back(Extended({Text("WM/Title", "From attribute"), {"WM/Track", 3, Dword}, Text("WM/Genre", "Jazz")}));
  Objects.push_back(ContentDescription("From description", "", ""));
  Read T(AsfFile(Objects));
  EXPECT_EQ(T.R.Title(), "From description");
  EXPECT_EQ(T.R.Track(), 0);
  EXPECT_EQ(T.R.Genre(), "Jazz");

  auto Reversed = Plain();
  Reversed.push_back(ContentDescription("From description", "", ""));
  Reversed.push_back(Extended({Text("WM/TITLE", "From attribute")}));
  Read U(AsfFile(Reversed));
  EXPECT_EQ(U.R.Title(), "From attribute");
}

TEST(WMAfile, LongFieldsKeep250Units) {
  auto Objects = Plain();
  Objects.push_back(Extended({Text("WM/AlbumTitle", std::string(300, 'a')), Text("WM/Genre", "After")}));
  Read T(AsfFile(Objects));
  EXPECT_EQ(T.R.Album(), std::string(250, 'a'));
  EXPECT_EQ(T.R.Genre(), "After");
}

TEST(WMAfile, Plausibility) {
  struct Case {
    uint16_t Channels;
    uint32_t Rate, ByteRate, MaxBitRate;
    bool Valid;
  } Cases[] = {{2, 48000, 24000, 192000, true},  {2, 48000, 40000, 192000, false}, {7, 44100, 16000, 128000, false},
               {6, 44100, 16000, 128000, true},  {1, 7999, 16000, 128000, false},  {1, 96001, 16000, 128000, false},
               {1, 8000, 1000, 8000, true},      {2, 44100, 16000, 320000, false}, {0, 44100, 16000, 128000, false}};
  for (const auto &C : Cases) {
    auto Objects = Plain(C.Channels, C.Rate, C.ByteRate, C.MaxBitRate);
    Objects.push_back(ContentDescription("T", "", ""));
    Read T(AsfFile(Objects));
    EXPECT_TRUE(T.Ok);
    EXPECT_EQ(T.R.Valid(), C.Valid) << C.Channels << " " << C.Rate << " " << C.ByteRate;
    if (!C.Valid) {
      EXPECT_EQ(T.R.Title(), "");
      EXPECT_EQ(T.R.FileSize(), 0);
    }
  }
}

TEST(WMAfile, ForeignTruncatedAndLoopingHeaders) {
  Read Foreign(Bytes(100, 0x30));
  EXPECT_TRUE(Foreign.Ok);
  EXPECT_FALSE(Foreign.R.Valid());

  Bytes Cut = AsfFile(Plain(), 0);
  Cut.resize(Cut.size() - 10); // into the byte rate
  Read Truncated(Cut);
  EXPECT_FALSE(Truncated.Ok);
  EXPECT_FALSE(Truncated.R.Valid());

  Read Tiny(Bytes(10, 0));
  EXPECT_FALSE(Tiny.Ok);

  // An object of size 0 and a header that claims four billion objects: the walk ends.
  Bytes Looping = AsfFile(Plain());
  for (int I = 0; I < 4; ++I)
    Looping[24 + I] = 0xFF;
  const size_t StreamAt = 30 + 104;
  for (int I = 0; I < 8; ++I)
    Looping[StreamAt + 16 + static_cast<size_t>(I)] = 0;
  Read Loop(Looping);
  EXPECT_TRUE(Loop.Ok);
  EXPECT_TRUE(Loop.R.Valid());

  TWMAfile R;
  EXPECT_FALSE(R.ReadFromFile("/nonexistent/a.wma"));
}
