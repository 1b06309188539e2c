// Whether an entry is a link, a folder or a plain file, from the attribute
// bits Windows reports for it. Wine makes no junctions or Windows symbolic
// links, so the values a real Windows gives are the cases here, with the
// reparse tag each one carries.
#include "platform/system_attributes_win.hpp"

#include <gtest/gtest.h>

#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

TEST(SystemAttributesWinTest, EveryReparsePointIsALinkWhateverItsTag) {
  constexpr DWORD kRecallOnDataAccess = 0x400000;
  const struct {
    const char* entry;
    DWORD tag;  // what the entry's reparse point holds; 0 for none
    DWORD attributes;
    bool link;
    bool folder;
    bool regular;
  } cases[] = {
      {"junction", IO_REPARSE_TAG_MOUNT_POINT,
       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, true, true, false},
      {"volume mounted on a folder", IO_REPARSE_TAG_MOUNT_POINT,
       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_SYSTEM, true, true,
       false},
      {"folder symbolic link", IO_REPARSE_TAG_SYMLINK,
       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, true, true, false},
      {"file symbolic link", IO_REPARSE_TAG_SYMLINK,
       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, true, false, false},
      {"cloud placeholder file", 0x9000601A,  // IO_REPARSE_TAG_CLOUD_6
       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT | kRecallOnDataAccess, true, false,
       false},
      {"cloud placeholder folder", 0x9000601A,
       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, true, true, false},
      {"app execution alias", 0x8000001B,  // IO_REPARSE_TAG_APPEXECLINK
       FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, true, false, false},
      {"plain file", 0, FILE_ATTRIBUTE_ARCHIVE, false, false, true},
      {"file with no other attribute", 0, FILE_ATTRIBUTE_NORMAL, false, false, true},
      {"read-only hidden system file", 0,
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false, false, true},
      {"plain folder", 0, FILE_ATTRIBUTE_DIRECTORY, false, true, false},
      {"device", 0, FILE_ATTRIBUTE_DEVICE, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.entry << ", tag 0x" << std::hex << c.tag);
    const EntryAttributes entry = entry_from_system(c.attributes, 7);
    EXPECT_EQ(entry.is_reparse_point(), c.link);
    EXPECT_EQ(entry.is_directory(), c.folder);
    EXPECT_EQ(entry.regular, c.regular);
    EXPECT_EQ(entry.size, 7U);
  }
}

}  // namespace
}  // namespace orvo::platform
