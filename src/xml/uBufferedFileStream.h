#pragma once
// A write-only file stream that collects small writes in a buffer and hands
// them to the file in large blocks.
//
// The bytes go to a temporary file beside the target. Given a transaction,
// Close() completes the file and the transaction's commit moves it into place
// with the other files of the export; without one, Close() makes the target
// appear at once. A stream that is destroyed without Close() (because an
// error passed) removes its temporary file, so a half-written target never
// exists and an earlier file of the same name stays as it was.

#include <memory>
#include <string>

#include "platform/uFileTransaction.h"
#include "xml/uStream.h"

class TBufferedFileStream : public TStream {
public:
  // Raises "Cannot create file %s" when the file cannot be created.
  TBufferedFileStream(const std::string& fileName, std::size_t bufferSize, TFileTransaction* transaction = nullptr);
  ~TBufferedFileStream() override;
  TBufferedFileStream(const TBufferedFileStream&) = delete;
  TBufferedFileStream& operator=(const TBufferedFileStream&) = delete;

  std::size_t Write(const void* buffer, std::size_t count) override;
  // Answers only the position query (offset 0 from the current position).
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void Flush();
  // Writes what is buffered, flushes the file to the disk and closes it, then
  // (without a transaction) replaces the target with it. Raises "Cannot
  // write file %s" when the file system refuses any of it.
  void Close();

  const std::string& FileName() const { return FFileName; }

private:
  [[noreturn]] void FailWrite();

  std::string FFileName;
  std::unique_ptr<TFileTransaction> FOwnTransaction;
  TFileTransaction* FTransaction;
  std::size_t FFile = 0;  // in the transaction
  bool FOpen = false;
  std::unique_ptr<unsigned char[]> FBuffer;
  std::size_t FCapacity;
  std::size_t FUsed = 0;
  int64_t FWritten = 0;  // bytes already handed to the file
};
