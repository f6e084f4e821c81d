// File-type description of the command line: upper-cased extension and " File".
#include "platform/file_types.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(FileTypeDescription, ExtensionUpperCasedOrPlainFile)
{
    EXPECT_EQ(FileTypeDescription("report.doc"), "DOC File");
    EXPECT_EQ(FileTypeDescription("archive.tar.Gz"), "GZ File");
    EXPECT_EQ(FileTypeDescription("README"), "File");
    EXPECT_EQ(FileTypeDescription("trailing."), "File");
    EXPECT_EQ(FileTypeDescription(""), "File");
    EXPECT_EQ(FileTypeDescription("caf\xE9.\xE9x"), "\xE9X File");
}

}  // namespace
}  // namespace platform
