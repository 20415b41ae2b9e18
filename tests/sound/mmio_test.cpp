// The RIFF reader: opening, chunk searches bounded by their parent, ascents
// over pad bytes, reads and seeks, and hostile sizes.
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string>

#include "host/headless/headless_host.h"
#include "tests/sound/wav_fixture.h"

namespace {

using namespace wavfixture;

class MmioTest : public ::testing::Test {
 protected:
  void SetUp() override { host::SetCurrent(&host_); }
  void TearDown() override { host::SetCurrent(nullptr); }

  static HMMIO Open(const TempFile& f) { return mmioOpenA(const_cast<LPSTR>(f.path()), nullptr, MMIO_READ | MMIO_ALLOCBUF); }

  host::HeadlessHost host_;
};

TEST_F(MmioTest, OpenReportsMissingFilesAndInjectedFaults) {
  MMIOINFO info{};
  EXPECT_EQ(mmioOpenA(const_cast<LPSTR>("/nonexistent/velmora.wav"), &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, static_cast<UINT>(MMIOERR_FILENOTFOUND));

  TempFile dir_probe(Bytes{1, 2, 3});
  host_.FailAt("mmioOpenA", host_.CallCount("mmioOpenA") + 2);
  HMMIO first = mmioOpenA(const_cast<LPSTR>(dir_probe.path()), nullptr, MMIO_READ);
  ASSERT_NE(first, nullptr);
  info = MMIOINFO{};
  EXPECT_EQ(mmioOpenA(const_cast<LPSTR>(dir_probe.path()), &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, static_cast<UINT>(MMIOERR_CANNOTOPEN));
  EXPECT_EQ(mmioClose(first, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));

  // Writing is not offered; a directory is not a file.
  EXPECT_EQ(mmioOpenA(const_cast<LPSTR>(dir_probe.path()), nullptr, MMIO_WRITE), nullptr);
  EXPECT_EQ(mmioOpenA(const_cast<LPSTR>("/tmp"), nullptr, MMIO_READ), nullptr);
}

TEST_F(MmioTest, ClosedOrForeignHandlesAreRefused) {
  TempFile f(Bytes{1, 2, 3, 4});
  HMMIO h = Open(f);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(mmioClose(h, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  char buf[4];
  MMCKINFO ck{};
  EXPECT_EQ(mmioRead(h, buf, 4), -1);
  EXPECT_EQ(mmioSeek(h, 0, SEEK_SET), -1);
  EXPECT_EQ(mmioDescend(h, &ck, nullptr, 0), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
  EXPECT_EQ(mmioAscend(h, &ck, 0), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
  EXPECT_EQ(mmioClose(h, 0), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
  EXPECT_EQ(mmioClose(nullptr, 0), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
}

TEST_F(MmioTest, ReadAndSeekThroughTheBuffer) {
  // Larger than the 8 KiB buffer, so reads cross refills and bypass it.
  Bytes content(20000);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7 + 3);
  TempFile f(content);
  HMMIO h = Open(f);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(mmioSeek(h, 0, SEEK_END), 20000);
  EXPECT_EQ(mmioSeek(h, 8190, SEEK_SET), 8190);
  char small[5];
  ASSERT_EQ(mmioRead(h, small, 5), 5);  // straddles the first refill
  for (int i = 0; i < 5; ++i) EXPECT_EQ(static_cast<uint8_t>(small[i]), content[8190 + i]);
  EXPECT_EQ(mmioSeek(h, 0, SEEK_CUR), 8195);
  std::vector<char> big(15000);
  EXPECT_EQ(mmioRead(h, big.data(), 15000), 20000 - 8195);  // short at the end
  EXPECT_EQ(static_cast<uint8_t>(big[0]), content[8195]);
  EXPECT_EQ(static_cast<uint8_t>(big[20000 - 8195 - 1]), content[19999]);
  EXPECT_EQ(mmioRead(h, big.data(), 10), 0);
  EXPECT_EQ(mmioSeek(h, -1, SEEK_SET), -1);
  EXPECT_EQ(mmioRead(h, big.data(), -1), -1);
  mmioClose(h, 0);
}

TEST_F(MmioTest, DescendFindsFormsAndChunksAndAscendSkipsPadBytes) {
  Bytes file = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 8000, 8)), Chunk("odd ", Bytes{9, 9, 9}),
                             Chunk("LIST", Bytes{'I', 'N', 'F', 'O'}), Chunk("data", Bytes{1, 2, 3, 4})});
  TempFile f(file);
  HMMIO h = Open(f);
  ASSERT_NE(h, nullptr);

  MMCKINFO riff{};
  ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(riff.ckid, FOURCC_RIFF);
  EXPECT_EQ(riff.fccType, mmioFOURCC('W', 'A', 'V', 'E'));
  EXPECT_EQ(riff.dwDataOffset, 8u);
  EXPECT_EQ(riff.cksize, file.size() - 8);

  // Plain descent takes the next chunk whatever it is.
  MMCKINFO ck{};
  ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(ck.ckid, mmioFOURCC('f', 'm', 't', ' '));
  EXPECT_EQ(ck.cksize, 16u);
  EXPECT_EQ(ck.dwDataOffset, 20u);
  ASSERT_EQ(mmioAscend(h, &ck, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(ck.ckid, mmioFOURCC('o', 'd', 'd', ' '));
  EXPECT_EQ(ck.cksize, 3u);
  mmioAscend(h, &ck, 0);  // over the three bytes and the pad byte
  ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(ck.ckid, FOURCC_LIST);
  EXPECT_EQ(ck.fccType, mmioFOURCC('I', 'N', 'F', 'O'));
  mmioAscend(h, &ck, 0);

  // A search by identifier skips what does not match.
  mmioSeek(h, 12, SEEK_SET);
  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  ASSERT_EQ(mmioDescend(h, &data, &riff, MMIO_FINDCHUNK), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(data.cksize, 4u);
  char bytes[4];
  ASSERT_EQ(mmioRead(h, bytes, 4), 4);
  EXPECT_EQ(bytes[3], 4);
  // Nothing after the last chunk of the form.
  mmioAscend(h, &data, 0);
  EXPECT_EQ(mmioDescend(h, &ck, &riff, 0), static_cast<MMRESULT>(MMIOERR_CHUNKNOTFOUND));
  mmioClose(h, 0);
}

TEST_F(MmioTest, SearchesStopAtTheParentsEnd) {
  // A "data" chunk follows the form, outside it: a search inside the form
  // must not find it.
  Bytes file = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 8000, 8))});
  Bytes outside = Chunk("data", Bytes{1, 2});
  file.insert(file.end(), outside.begin(), outside.end());
  TempFile f(file);
  HMMIO h = Open(f);
  ASSERT_NE(h, nullptr);
  MMCKINFO riff{};
  ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  EXPECT_EQ(mmioDescend(h, &data, &riff, MMIO_FINDCHUNK), static_cast<MMRESULT>(MMIOERR_CHUNKNOTFOUND));
  EXPECT_EQ(data.cksize, 0u);  // untouched on failure
  mmioClose(h, 0);
}

TEST_F(MmioTest, FindRiffMatchesTheFormTypeAndZeroMatchesAny) {
  Bytes file = Form("AVI ", {Chunk("hdrl", Bytes{0, 0})});
  Bytes wave = Form("WAVE", {Chunk("fmt ", PcmFormat(1, 8000, 8))});
  file.insert(file.end(), wave.begin(), wave.end());
  TempFile f(file);
  HMMIO h = Open(f);
  ASSERT_NE(h, nullptr);
  MMCKINFO any{};
  ASSERT_EQ(mmioDescend(h, &any, nullptr, MMIO_FINDRIFF), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(any.fccType, mmioFOURCC('A', 'V', 'I', ' '));
  mmioSeek(h, 0, SEEK_SET);
  MMCKINFO wanted{};
  wanted.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  ASSERT_EQ(mmioDescend(h, &wanted, nullptr, MMIO_FINDRIFF), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(wanted.dwDataOffset, static_cast<DWORD>(file.size() - wave.size() + 8));
  mmioClose(h, 0);
}

TEST_F(MmioTest, HugeChunkSizesEndTheSearchInsteadOfWrapping) {
  // Sizes near 4 GiB must neither wrap the position back into the file (an
  // endless search) nor be trusted for reading.
  Bytes body;
  PutId(body, "WAVE");
  Bytes junk = Chunk("junk", Bytes{}, 0xFFFFFFF7u);
  body.insert(body.end(), junk.begin(), junk.end());
  Bytes data = Chunk("data", Bytes{5, 6});
  body.insert(body.end(), data.begin(), data.end());
  Bytes file;
  PutId(file, "RIFF");
  Put32(file, 0xFFFFFFFFu);
  file.insert(file.end(), body.begin(), body.end());
  TempFile f(file);
  HMMIO h = Open(f);
  ASSERT_NE(h, nullptr);
  MMCKINFO riff{};
  ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  MMCKINFO ck{};
  ck.ckid = mmioFOURCC('d', 'a', 't', 'a');
  EXPECT_EQ(mmioDescend(h, &ck, &riff, MMIO_FINDCHUNK), static_cast<MMRESULT>(MMIOERR_CHUNKNOTFOUND));
  // Ascending out of the huge chunk leaves the file behind: reads give 0.
  mmioSeek(h, 12, SEEK_SET);
  ASSERT_EQ(mmioDescend(h, &ck, &riff, 0), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  mmioAscend(h, &ck, 0);
  char b[2];
  EXPECT_EQ(mmioRead(h, b, 2), 0);
  EXPECT_EQ(mmioDescend(h, &ck, &riff, 0), static_cast<MMRESULT>(MMIOERR_CHUNKNOTFOUND));
  mmioClose(h, 0);
}

TEST_F(MmioTest, TruncatedHeadersAreNotChunks) {
  Bytes file{'R', 'I', 'F', 'F', 0x10, 0, 0, 0, 'W', 'A'};  // form type cut off
  TempFile f(file);
  HMMIO h = Open(f);
  ASSERT_NE(h, nullptr);
  MMCKINFO riff{};
  EXPECT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), static_cast<MMRESULT>(MMIOERR_CHUNKNOTFOUND));
  EXPECT_EQ(riff.fccType, 0u);
  mmioClose(h, 0);
}

TEST(MmioFourcc, StringToFourccPadsWithSpacesAndCanUppercase) {
  EXPECT_EQ(mmioStringToFOURCCA("data", 0), mmioFOURCC('d', 'a', 't', 'a'));
  EXPECT_EQ(mmioStringToFOURCCA("fmt", 0), mmioFOURCC('f', 'm', 't', ' '));
  EXPECT_EQ(mmioStringToFOURCCA("wavefile", 0), mmioFOURCC('w', 'a', 'v', 'e'));
  EXPECT_EQ(mmioStringToFOURCCA("riff", MMIO_TOUPPER), FOURCC_RIFF);
  EXPECT_EQ(mmioStringToFOURCCA("", 0), mmioFOURCC(' ', ' ', ' ', ' '));
}

}  // namespace
