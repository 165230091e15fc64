// The library seam: what the user reads when a library or a function is missing.
#include "img/format_libraries.h"

#include <gtest/gtest.h>

#include <string>

#include "library_names.h"

namespace {

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

TEST(FormatLibraries, EveryLibraryOfTheTableLoads) {
  std::string why;
  EXPECT_NE(gdLibrary(&why), nullptr) << why;
  EXPECT_NE(pngLibrary(&why), nullptr) << why;
  EXPECT_NE(webpLibrary(&why), nullptr) << why;
  EXPECT_NE(heifLibrary(&why), nullptr) << why;
  EXPECT_NE(avLibrary(&why), nullptr) << why;
  EXPECT_EQ(why, "");
}

TEST(FormatLibraries, MissingLibraryNamesItsSoname) {
  ImgLibraryLoader loader("libquorvel-absent.so.0");
  decltype(&png_init_io) slot = nullptr;
  loader.resolve("png_init_io", slot);
  EXPECT_EQ(slot, nullptr);
  EXPECT_FALSE(loader.ok());
  EXPECT_TRUE(startsWith(loader.why(), "unable to load \"libquorvel-absent.so.0\" -- libquorvel-absent.so.0: "))
      << loader.why();
}

TEST(FormatLibraries, MissingFunctionNamesItsSymbolAndTheFirstFailureStays) {
  ImgLibraryLoader loader(kPngSoname);
  decltype(&png_init_io) present = nullptr, absent = nullptr, later = nullptr;
  loader.resolve("png_init_io", present);
  EXPECT_NE(present, nullptr);
  EXPECT_TRUE(loader.ok());
  loader.resolve("png_quorvel_absent", absent);
  loader.resolve("png_read_info", later);
  EXPECT_EQ(absent, nullptr);
  EXPECT_EQ(later, nullptr);
  const std::string& why = loader.why();
  EXPECT_TRUE(startsWith(why, std::string("unable to load \"") + kPngSoname + "\" -- ")) << why;
  EXPECT_NE(why.find("png_quorvel_absent"), std::string::npos) << why;
  EXPECT_EQ(why.find("png_read_info"), std::string::npos) << why;
}
