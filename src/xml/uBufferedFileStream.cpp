#include "uBufferedFileStream.h"

#include <cstring>

#include "uException.h"
#include "uFileSystem.h"

TBufferedFileStream::TBufferedFileStream(const std::string& fileName, std::size_t bufferSize)
    : FFileName(fileName), FTempName(fileName + ".tmp"), FCapacity(bufferSize > 0 ? bufferSize : 1) {
  // A zero byte would cut the name short: the stream would write some other
  // file, and directly instead of through the temporary one.
  if (!HasZeroByte(FTempName)) FFile = FileOperations.Create(FTempName.c_str());
  if (!FFile) RaiseError("Cannot create file %s", {FFileName});
  FBuffer = std::make_unique<unsigned char[]>(FCapacity);
}

TBufferedFileStream::~TBufferedFileStream() {
  if (FFile) {
    FileOperations.Close(FFile);
    DeleteFileIfExists(FTempName);
  }
}

std::size_t TBufferedFileStream::Write(const void* buffer, std::size_t count) {
  auto bytes = static_cast<const unsigned char*>(buffer);
  std::size_t rest = count;
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
  if (!FFile || FileOperations.Write(FBuffer.get(), FUsed, FFile) != FUsed) FailWrite();
  FWritten += static_cast<int64_t>(FUsed);
  FUsed = 0;
}

void TBufferedFileStream::Close() {
  Flush();
  const bool closed = FileOperations.Close(FFile);
  FFile = nullptr;
  if (!closed || !ReplaceFileWith(FTempName, FFileName)) {
    DeleteFileIfExists(FTempName);
    FailWrite();
  }
}

void TBufferedFileStream::FailWrite() { RaiseError("Cannot write file %s", {FFileName}); }
