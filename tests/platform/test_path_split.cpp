#include <gtest/gtest.h>

#include "platform/uFileSystem.h"

// The editor's names split the Windows way on every platform.
TEST(PathSplit, EditorNamesEndTheirFolderAtEitherSlashOrADriveColon) {
  EXPECT_EQ(FileNameOf("C:\\Tex\\stone.png", EditorPathDelimiters), "stone.png");
  EXPECT_EQ(FileNameOf("Tex/sub\\stone.png", EditorPathDelimiters), "stone.png");
  EXPECT_EQ(FileNameOf("C:stone.png", EditorPathDelimiters), "stone.png");
  EXPECT_EQ(FolderOf("C:stone.png", EditorPathDelimiters), "C:");
  EXPECT_EQ(FileNameOf("stone.png", EditorPathDelimiters), "stone.png");
  EXPECT_EQ(FolderOf("stone.png", EditorPathDelimiters), "");
  EXPECT_EQ(FileNameOf("Tex\\", EditorPathDelimiters), "");
}

TEST(PathSplit, LocalPathsSplitAtThePlatformsDelimiters) {
  EXPECT_EQ(FolderOf("out/meshes/a.mesh"), "out/meshes/");
  EXPECT_EQ(FileNameOf("out/meshes/a.mesh"), "a.mesh");
  EXPECT_EQ(FolderOf("/a.mesh"), "/");
  EXPECT_EQ(FolderOf("a.mesh"), "");
#ifdef _WIN32
  EXPECT_EQ(FileNameOf("out\\a.mesh"), "a.mesh");
  EXPECT_EQ(FolderOf("out\\a.mesh"), "out\\");
#else
  // A backslash is a character of a Linux file name.
  EXPECT_EQ(FileNameOf("out\\a.mesh"), "out\\a.mesh");
  EXPECT_EQ(FolderOf("out\\a.mesh"), "");
  EXPECT_EQ(FileNameStart("x/out\\a.mesh"), 2u);
#endif
}
