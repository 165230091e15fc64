#include "run/notice.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/test_support.h"

namespace {

// Builds a coded block from the entries of codes 1..n (the rest empty) and a
// code stream.
std::string codedBlock(const std::vector<std::string>& entries, const std::string& stream) {
  std::string block;
  for (int code = 1; code <= 255; ++code) {
    if (static_cast<size_t>(code) <= entries.size()) block += entries[static_cast<size_t>(code) - 1];
    block.push_back('\0');
  }
  return block + stream + std::string(1, '\0');
}

std::string expand(const char* block) {
  return testsupport::streamText([&](FILE* out) { docWrite(block, out); });
}

TEST(DocWrite, ConcatenatesEntriesInStreamOrder) {
  EXPECT_EQ(expand(codedBlock({"ab", "", "c\n"}, "\x01\x03\x02\x01\x01").data()), "abc\nabab");
}

TEST(DocWrite, EmptyStreamGivesEmptyDocument) { EXPECT_EQ(expand(codedBlock({"ab"}, "").data()), ""); }

TEST(DocWrite, CodeByteAbove127IsUnsigned) {
  std::string block;
  for (int code = 1; code <= 255; ++code) {
    block += code == 255 ? "last" : (code == 200 ? "two hundred" : "");
    block.push_back('\0');
  }
  block += "\xff\xc8";
  block.push_back('\0');
  EXPECT_EQ(expand(block.data()), "lasttwo hundred");
}

TEST(DocWrite, EmbeddedDocumentExpandsToItsSource) {
  std::string source = testsupport::readFile(QUORVEL_SOURCE_DIR "/src/run/cv.html");
  ASSERT_FALSE(source.empty());
  EXPECT_EQ(expand(embeddedDoc()), source);
}

}  // namespace
