#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#endif

#include "../support/TempDir.h"
#include "uMappedFile.h"

TEST(MappedFile, ARegularFileIsMappedByteForByte) {
  TTempDir dir;
  // More than a page, with zero bytes and CR LF inside.
  std::string content;
  for (int i = 0; i < 5000; ++i) content += "<a n=\"" + std::to_string(i) + "\"/>\r\n" + std::string(1, '\0');
  TTempDir::Write(dir.File("scene.xml"), content);
  const TMappedFile mapped(dir.File("scene.xml"));
  ASSERT_TRUE(mapped.IsMapped());
  EXPECT_EQ(mapped.Text(), content);
}

TEST(MappedFile, WhatCannotBeMappedIsLeftToTheStreamReader) {
  TTempDir dir;
  TTempDir::Write(dir.File("empty.xml"), "");
  std::filesystem::create_directories(dir.File("folder"));
  for (const std::string name : {"empty.xml", "folder", "missing.xml"}) {
    const TMappedFile mapped(dir.File(name));
    EXPECT_FALSE(mapped.IsMapped()) << name;
    EXPECT_TRUE(mapped.Text().empty()) << name;
  }
#ifndef _WIN32
  // A pipe without a writer must not block the opening.
  ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(TMappedFile(dir.File("pipe")).IsMapped());
#endif
}
