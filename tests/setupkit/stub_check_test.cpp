// Which programs pack takes as its stub.
#include <gtest/gtest.h>

#include "archive/payload_format.h"
#include "setupkit/stub_check.h"
#include "setupkit_test_util.h"

TEST(StubCheck, AcceptsOnlyAnUnsignedPeWithoutPayload) {
  auto with = [](std::vector<uint8_t> stub, size_t at, std::vector<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), stub.begin() + at);
    return stub;
  };
  const std::vector<uint8_t> magic = {0xB6, 0x2C, 0xB6, 0x91};
  EXPECT_EQ("", StubCheck(with(TestFakeStub(100000), kPayloadSearchStart - 1, magic)));  // never found there
  EXPECT_EQ("already carries a payload (magic at offset 90049); pack the bare stub",
            StubCheck(with(TestFakeStub(100000), kPayloadSearchStart + 50, magic)));
  EXPECT_EQ("is not a Windows executable (no MZ header)", StubCheck({'#', '!', '/', 'b'}));
  EXPECT_EQ("is signed (Authenticode certificate table); sign after packing", StubCheck(TestFakeStub(4096, 1024)));
  EXPECT_TRUE(TestHasText(StubCheck(TestFakeStub(4096, 0, false)), "not a setup.exe stub of this project"));
}
