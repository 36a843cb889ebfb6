#include "xml/uBufferedFileStream.h"

#include <cstring>

#include "base/uException.h"
#include "platform/uFileSystem.h"

TBufferedFileStream::TBufferedFileStream(const std::string& fileName, std::size_t bufferSize,
                                         TFileTransaction* transaction)
    : FFileName(fileName), FTransaction(transaction), FCapacity(bufferSize > 0 ? bufferSize : 1) {
  if (!FTransaction) {
    FOwnTransaction = std::make_unique<TFileTransaction>();
    FTransaction = FOwnTransaction.get();
  }
  FFile = FTransaction->Create(FFileName);
  FOpen = true;
  FBuffer = std::make_unique<unsigned char[]>(FCapacity);
}

TBufferedFileStream::~TBufferedFileStream() {
  if (FOpen) FTransaction->Abandon(FFile);
}

std::size_t TBufferedFileStream::Write(const void* buffer, std::size_t count) {
  auto bytes = static_cast<const unsigned char*>(buffer);
  std::size_t rest = count;
  // A block as large as the buffer goes to the file as it is, behind what
  // the buffer holds: copying it through the buffer would gain nothing.
  if (rest >= FCapacity) {
    Flush();
    if (!FOpen || FileOperations.Write(bytes, rest, FTransaction->File(FFile)) != rest) FailWrite();
    FWritten += static_cast<int64_t>(rest);
    return count;
  }
  while (FCapacity - FUsed < rest) {
    const std::size_t part = FCapacity - FUsed;
    if (part > 0) std::memcpy(FBuffer.get() + FUsed, bytes, part);
    FUsed = FCapacity;
    Flush();
    bytes += part;
    rest -= part;
  }
  if (rest > 0) {
    std::memcpy(FBuffer.get() + FUsed, bytes, rest);
    FUsed += rest;
  }
  return count;
}

int64_t TBufferedFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset != 0 || origin != TSeekOrigin::soCurrent)
    RaiseError("Seek not supported on buffered file stream.");
  return FWritten + static_cast<int64_t>(FUsed);
}

void TBufferedFileStream::Flush() {
  if (FUsed == 0) return;
  if (!FOpen || FileOperations.Write(FBuffer.get(), FUsed, FTransaction->File(FFile)) != FUsed) FailWrite();
  FWritten += static_cast<int64_t>(FUsed);
  FUsed = 0;
}

void TBufferedFileStream::Close() {
  Flush();
  FOpen = false;
  FTransaction->Finish(FFile);
  if (FOwnTransaction) FOwnTransaction->Commit();
}

void TBufferedFileStream::FailWrite() { RaiseError("Cannot write file %s", {FFileName}); }
