#include "setupkit/stub_check.h"

#include <gtest/gtest.h>

#include "archive/payload_format.h"
#include "setupkit_test_util.h"

TEST(StubCheck, AcceptsAnUnsignedPeWithoutPayload) {
  EXPECT_EQ("", StubCheck(TestFakeStub(312)));
  EXPECT_EQ("", StubCheck(TestFakeStub(200000)));
  // A magic that starts one byte before the search start is never found there.
  std::vector<uint8_t> stub = TestFakeStub(100000);
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i) stub[kPayloadSearchStart - 1 + i] = PayloadMagicByte(i);
  EXPECT_EQ("", StubCheck(stub));
}

TEST(StubCheck, RefusesWhatCannotBeAStub) {
  EXPECT_EQ("is not a Windows executable (no MZ header)", StubCheck({}));
  EXPECT_EQ("is not a Windows executable (no MZ header)", StubCheck({'#', '!', '/', 'b'}));

  std::vector<uint8_t> stub = TestFakeStub();
  stub[0x40] = 'N';
  EXPECT_EQ("is not a PE executable (no PE header)", StubCheck(stub));
  stub = TestFakeStub();
  stub[0x3C] = 0xF0;  // e_lfanew beyond the file
  stub[0x3F] = 0x7F;
  EXPECT_EQ("is not a PE executable (no PE header)", StubCheck(stub));
  stub = TestFakeStub();
  stub[0x44 + 20] = 0x07;  // optional header magic 0x107 (ROM image)
  EXPECT_EQ("is not a PE executable (no valid optional header)", StubCheck(stub));
  stub = TestFakeStub();
  stub.resize(200);  // cut inside the optional header
  EXPECT_EQ("is not a PE executable (no valid optional header)", StubCheck(stub));

  EXPECT_EQ("is signed (Authenticode certificate table); sign after packing", StubCheck(TestFakeStub(4096, 1024)));

  stub = TestFakeStub(kPayloadSearchStart + 100);
  for (uint32_t i = 0; i < kPayloadMagicSize; ++i) stub[kPayloadSearchStart + 50 + i] = PayloadMagicByte(i);
  EXPECT_EQ("already carries a payload (magic at offset 90049); pack the bare stub", StubCheck(stub));
  EXPECT_EQ(static_cast<int64_t>(kPayloadSearchStart + 50), StubFindPayloadMagic(stub));
}
