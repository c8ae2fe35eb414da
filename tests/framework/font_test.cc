// GDI objects and fonts: stock and owned objects, font records with cp932 face names.
#include <cstring>
#include <string>

#include "dib_canvas.h"
#include "framework/font.h"
#include "framework/gdi_object.h"
#include "framework/win32.h"
#include "gtest/gtest.h"
#include "test_application.h"

namespace {

using fwtest::Cp932;

TEST(GdiObjectTest, StockObjectsAreHeldButNeverDeleted) {
  QWF::GdiObject brush;
  EXPECT_EQ(brush.ObjectType(), 0u);
  ASSERT_TRUE(brush.Stock(WHITE_BRUSH));
  EXPECT_FALSE(brush.Owned());
  EXPECT_EQ(brush.ObjectType(), static_cast<unsigned>(OBJ_BRUSH));
  EXPECT_FALSE(brush.Stock(BLACK_BRUSH));  // one is held
  LOGBRUSH description;
  EXPECT_EQ(brush.Description(sizeof description, &description),
            static_cast<int>(sizeof description));
  EXPECT_EQ(description.lbColor, RGB(255, 255, 255));
  HGDIOBJ handle = brush.Handle();
  brush.Detach();
  EXPECT_EQ(brush.Handle(), nullptr);
  EXPECT_EQ(GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH));
  QWF::GdiObject none;
  EXPECT_FALSE(none.Stock(12345));
  EXPECT_FALSE(none.Delete());
}

TEST(GdiObjectTest, OwnedObjectsGoWithTheirOwner) {
  HGDIOBJ handle;
  {
    QWF::Font font;
    ASSERT_TRUE(font.CreateFixed(-12, FW_NORMAL, "IPAGothic"));
    EXPECT_TRUE(font.Owned());
    handle = font.Handle();
    QWF::Font shared(font);
    EXPECT_FALSE(shared.Owned());
    EXPECT_EQ(shared.Handle(), handle);
    EXPECT_FALSE(font.CreateFixed(-12, FW_NORMAL, "IPAGothic"));  // one is held
  }
  EXPECT_EQ(GetObjectType(handle), 0u);
  // Delete works on any wrapper, and every copy sees the object gone.
  HFONT other = CreateFontW(-12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"IPAGothic");
  QWF::Font first(other), second(first);
  EXPECT_TRUE(first.Delete());
  EXPECT_EQ(GetObjectType(other), 0u);
  EXPECT_EQ(second.Handle(), nullptr);
}

std::wstring FaceOf(const QWF::Font& font) {
  fwtest::DibCanvas canvas(4, 4);
  SelectObject(canvas.Dc().Handle(), font.Handle());
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(canvas.Dc().Handle(), LF_FACESIZE, face);
  return face;
}

TEST(FontTest, ShiftJisFontsAndTheirRecords) {
  // The Japanese face name, in cp932: found whatever the system code page is.
  const std::string face = Cp932("IPAゴシック");
  QWF::Font fixed, proportional;
  ASSERT_TRUE(fixed.CreateFixed(-20, FW_BOLD, face.c_str()));
  ASSERT_TRUE(proportional.CreateProportional(-18, FW_NORMAL, "IPAPGothic"));
  QWF::FontRecord record;
  ASSERT_TRUE(fixed.Record(&record));
  EXPECT_EQ(record.height, -20);
  EXPECT_EQ(record.weight, FW_BOLD);
  EXPECT_EQ(record.char_set, SHIFTJIS_CHARSET);
  EXPECT_EQ(record.pitch_and_family, FIXED_PITCH | FF_MODERN);
  EXPECT_EQ(record.width, 0);
  EXPECT_EQ(record.italic, 0);
  EXPECT_EQ(record.quality, 0);
  EXPECT_EQ(std::string(record.face_name), face);
  EXPECT_EQ(FaceOf(fixed), L"IPA\x30B4\x30B7\x30C3\x30AF");  // IPAゴシック

  ASSERT_TRUE(proportional.Record(&record));
  EXPECT_EQ(record.pitch_and_family, VARIABLE_PITCH);
  EXPECT_EQ(record.char_set, SHIFTJIS_CHARSET);
  EXPECT_STREQ(record.face_name, "IPAPGothic");
  // The description of a font is its record.
  EXPECT_EQ(proportional.Description(0, nullptr), static_cast<int>(sizeof record));
  QWF::FontRecord described;
  EXPECT_EQ(proportional.Description(sizeof described, &described),
            static_cast<int>(sizeof described));
  EXPECT_EQ(std::memcmp(&described, &record, sizeof record), 0);

  // Every one of the fourteen values, and a font made from a record.
  QWF::Font all;
  ASSERT_TRUE(all.Create(-15, 7, 900, 900, FW_LIGHT, true, true, true, SHIFTJIS_CHARSET,
                         OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                         VARIABLE_PITCH | FF_SWISS, face.c_str()));
  ASSERT_TRUE(all.Record(&record));
  EXPECT_EQ(record.height, -15);
  EXPECT_EQ(record.width, 7);
  EXPECT_EQ(record.escapement, 900);
  EXPECT_EQ(record.orientation, 900);
  EXPECT_EQ(record.weight, FW_LIGHT);
  EXPECT_EQ(record.italic, 1);
  EXPECT_EQ(record.underline, 1);
  EXPECT_EQ(record.strike_out, 1);
  EXPECT_EQ(record.out_precision, OUT_TT_PRECIS);
  EXPECT_EQ(record.quality, NONANTIALIASED_QUALITY);
  EXPECT_EQ(record.pitch_and_family, VARIABLE_PITCH | FF_SWISS);
  QWF::Font copy;
  ASSERT_TRUE(copy.Create(record));
  QWF::FontRecord again;
  ASSERT_TRUE(copy.Record(&again));
  EXPECT_EQ(std::memcmp(&again, &record, sizeof record), 0);
  EXPECT_FALSE(QWF::Font().Record(&record));
}

TEST(FontTest, FaceNamesAreCutTo31BytesOnACharacterBoundary) {
  struct Case {
    std::string face, kept;
  } cases[] = {
      {std::string(40, 'a'), std::string(31, 'a')},
      // Sixteen two-byte characters are 32 bytes: the sixteenth would be cut, so it goes.
      {Cp932("あいうえおかきくけこさしすせそた"), Cp932("あいうえおかきくけこさしすせそ")},
      {"a" + Cp932("あいうえおかきくけこさしすせそ"), "a" + Cp932("あいうえおかきくけこさしすせそ")},
  };
  for (const Case& c : cases) {
    QWF::Font font;
    ASSERT_TRUE(font.CreateProportional(-12, FW_NORMAL, c.face.c_str()));
    QWF::FontRecord record;
    ASSERT_TRUE(font.Record(&record));
    EXPECT_EQ(std::string(record.face_name), c.kept);
  }
}

}  // namespace
