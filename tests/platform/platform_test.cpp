// The POSIX backend answers as the Win32 calls it stands in for. Reading, writing
// and seeking are exercised by every archive test on both backends.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "test_files.h"

TEST(PlatformFile, ErrorNumbersAreWin32) {
  const std::u16string dir = TestWidePath(TestTempDir()), child = dir + u"\\child";
  const struct { std::u16string path; bool forWrite; uint32_t error; } opens[] = {
      {dir + u"\\missing.bin", false, kErrorFileNotFound}, {dir + u"\\no\\such.bin", false, kErrorPathNotFound},
      {dir + u"\\no\\such.bin", true, kErrorPathNotFound}, {dir, false, kErrorAccessDenied},
      {dir, true, kErrorAccessDenied},
  };
  for (const auto& o : opens) {
    EXPECT_EQ(PLATFORM_INVALID_FILE, PlatformCreateFile(o.path.c_str(), o.forWrite));
    EXPECT_EQ(o.error, PlatformGetLastError()) << testing::PrintToString(o.path) << " for writing " << o.forWrite;
  }
  EXPECT_TRUE(PlatformCreateDirectory(child.c_str()) && PlatformPathExists(child.c_str()));
  EXPECT_FALSE(PlatformCreateDirectory(child.c_str()));
  EXPECT_EQ(kErrorAlreadyExists, PlatformGetLastError());
  EXPECT_FALSE(PlatformCreateDirectory((dir + u"\\missing\\child").c_str()));
  EXPECT_EQ(kErrorPathNotFound, PlatformGetLastError());
  EXPECT_EQ(0xFFFFFFFFu, PlatformGetFileSize(PLATFORM_INVALID_FILE));
  EXPECT_EQ(kErrorInvalidHandle, PlatformGetLastError());
  PlatformSetLastError(0);
  EXPECT_EQ(0xFFFFFFFFu, PlatformSetFilePointer(PLATFORM_INVALID_FILE, 4));
  EXPECT_EQ(kErrorInvalidHandle, PlatformGetLastError());
}

TEST(PlatformTime, LocalNoonAndDatesThatDoNotExist) {
  PlatformDateTime noon = {2024, 2, 0, 29, 12, 0, 0, 0};
  uint64_t t = 0;
  ASSERT_TRUE(PlatformLocalTimeToFileTime(&noon, &t));
  // Whatever the time zone, local noon lies within 14 hours of 2024-02-29 12:00 UTC.
  EXPECT_LE(t, 133536528000000000ull + 14 * 36000000000ull);
  EXPECT_GE(t, 133536528000000000ull - 14 * 36000000000ull);
  // Wine accepts 29 February of a common year, so callers check leap days themselves.
  for (uint16_t month : {0, 4, 13}) {
    PlatformDateTime bad = {2024, month, 0, 31, 12, 0, 0, 0};
    EXPECT_FALSE(PlatformLocalTimeToFileTime(&bad, &t)) << "month " << month << ", day 31";
  }
}

// The code page calls as the system makes them: the units or bytes written,
// terminator included; 0 with ERROR_INSUFFICIENT_BUFFER when the text does not
// fit, after filling what there is; the length needed for a size of 0.
TEST(PlatformCodePage, ResultsAndTheErrorOfATooSmallBuffer) {
  char16_t wide[8];
  char narrow[8];
  EXPECT_EQ(4, PlatformAnsiToWide("abc", wide, 0));
  EXPECT_EQ(5, PlatformWideToAnsi(u"abcd", narrow, 0));
  PlatformSetLastError(0);
  EXPECT_EQ(0, PlatformAnsiToWide("abcd", wide, 2));
  EXPECT_TRUE(PlatformGetLastError() == kErrorInsufficientBuffer && wide[1] == u'b');
  PlatformSetLastError(0);
  EXPECT_EQ(0, PlatformWideToAnsi(u"abcd", narrow, 3));
  EXPECT_TRUE(PlatformGetLastError() == kErrorInsufficientBuffer && narrow[2] == 'c');
}

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include <filesystem>

// Separators, "." and ".." resolved as GetFullPathNameW does; the result is the
// length, or the units needed when dest is too small, which then stays untouched.
TEST(PlatformPath, FullPathsAndNamesLikeTheSystem) {
  char cwd[4096];
  ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
  const std::u16string here = TestWidePath(cwd);
  const struct { std::u16string path, full; } cases[] = {
      {u"/a/b/../c", u"/a/c"},   {u"/ab/cd/./e", u"/ab/cd/e"}, {u"\\ab\\..\\cd", u"/cd"}, {u"/a//b/", u"/a/b/"},
      {u"/..", u"/"},            {u"/", u"/"},                 {u"/a/b/c/../../d", u"/a/d"}, {u"/a/..b/.c", u"/a/..b/.c"},
      {u"rel/x", here + u"/rel/x"},
  };
  for (const auto& c : cases) {
    char16_t full[4096];
    EXPECT_EQ(c.full.size(), PlatformGetFullPathName(c.path.c_str(), full, 4096)) << testing::PrintToString(c.path);
    EXPECT_EQ(c.full, std::u16string(full)) << testing::PrintToString(c.path);
  }
  char16_t small[5] = {u'#', u'#', u'#', u'#', u'#'};
  EXPECT_EQ(7u, PlatformGetFullPathName(u"/ab/cd", small, 5));
  const std::u16string huge = u"/" + std::u16string(5000, u'n');
  PlatformSetLastError(0);
  EXPECT_TRUE(PlatformGetFullPathName(huge.c_str(), small, 5) == 0 && PlatformGetLastError() == 206u);
  char16_t fits[6];
  EXPECT_EQ(5u, PlatformGetFullPathName(u"/ab/c", fits, 6));
  EXPECT_EQ(u"/ab/c", std::u16string(fits));

  // Names reach the file system as UTF-8, pairs of surrogates as one character and
  // a lone one as U+FFFD, and come back the same way in a full path.
  const std::string dir = TestTempDir();
  const std::u16string wide = TestWidePath(dir);
  const struct { std::u16string name; std::string utf8; } names[] = {
      {u"\u00E4\u20AC\U0001F600.txt", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80.txt"},
      {std::u16string(u"a") + char16_t(0xD800) + u"b", "a\xEF\xBF\xBD" "b"},
      {std::u16string(u"c") + char16_t(0xDC00), "c\xEF\xBF\xBD"},
  };
  for (const auto& n : names) {
    PlatformFile file = PlatformCreateFile((wide + u"\\" + n.name).c_str(), true);
    ASSERT_NE(PLATFORM_INVALID_FILE, file) << n.utf8;
    PlatformCloseHandle(file);
    EXPECT_TRUE(std::filesystem::exists(dir + "/" + n.utf8)) << n.utf8;
  }
  const std::string folder = dir + "/\xC3\xA4\xF0\x9F\x98\x80";
  std::filesystem::create_directory(folder);
  ASSERT_EQ(0, chdir(folder.c_str()));
  char16_t full[4096];
  PlatformGetFullPathName(u"x", full, 4096);
  EXPECT_EQ(chdir(cwd), 0);
  EXPECT_EQ(wide + u"/\u00E4\U0001F600/x", std::u16string(full));
}

// A read returns every byte asked for, however the system hands them over: a
// pipe gives what its writer wrote so far (setupkit verify <(curl ...)).
TEST(PlatformFile, ReadGathersShortReads) {
  const std::string fifo = TestTempDir() + "/fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  std::thread writer([&] {
    int fd = open(fifo.c_str(), O_WRONLY);
    EXPECT_EQ(3, write(fd, "abc", 3));
    usleep(50000);
    EXPECT_EQ(3, write(fd, "def", 3));
    close(fd);
  });
  PlatformFile file = PlatformCreateFile(TestWidePath(fifo).c_str(), false);
  char buffer[8] = {};
  uint32_t got = 0;
  EXPECT_TRUE(PlatformReadFile(file, buffer, 7, &got) && got == 6);
  EXPECT_STREQ("abcdef", buffer);
  PlatformCloseHandle(file);
  writer.join();
}
#endif
