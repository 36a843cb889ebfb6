#include "preview/uMeshBounds.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace {
constexpr std::uint16_t kFileHeader = 0x1000;
constexpr std::uint16_t kMeshChunk = 0x3000;
constexpr std::uint16_t kBoundsChunk = 0x9000;
constexpr std::size_t kChunkHeader = 6;  // a 16-bit id and a 32-bit length that counts the header too

class TReader {
public:
  TReader(std::string_view bytes, bool swapped) : FBytes(bytes), FSwapped(swapped) {}
  std::optional<std::uint16_t> U16(std::size_t at) const {
    if (at > FBytes.size() || FBytes.size() - at < 2) return std::nullopt;
    const auto byte = [&](std::size_t i) { return static_cast<std::uint16_t>(static_cast<unsigned char>(FBytes[at + i])); };
    return FSwapped ? static_cast<std::uint16_t>(byte(0) << 8 | byte(1)) : static_cast<std::uint16_t>(byte(1) << 8 | byte(0));
  }
  std::optional<std::uint32_t> U32(std::size_t at) const {
    if (at > FBytes.size() || FBytes.size() - at < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value |= static_cast<std::uint32_t>(static_cast<unsigned char>(FBytes[at + i])) << (FSwapped ? 24 - 8 * i : 8 * i);
    return value;
  }
  std::optional<float> F32(std::size_t at) const {
    const std::optional<std::uint32_t> bits = U32(at);
    if (!bits) return std::nullopt;
    float value;
    std::memcpy(&value, &*bits, sizeof value);
    return value;
  }
  std::size_t Size() const { return FBytes.size(); }
  std::size_t Find(char c, std::size_t from) const { return FBytes.find(c, from); }

private:
  std::string_view FBytes;
  bool FSwapped;
};

// The box of a bounds chunk's body: three minimum and three maximum coordinates.
std::string BoxProblem(const TReader& in, std::size_t body, const std::string& shown) {
  float corners[6];
  for (std::size_t i = 0; i < 6; ++i) {
    const std::optional<float> value = in.F32(body + 4 * i);
    if (!value) return "The mesh " + shown + " ends inside its bounding box.";
    corners[i] = *value;
  }
  for (const float value : corners)
    if (!std::isfinite(value)) return "The mesh " + shown + " has a bounding box with a corner that is no finite number.";
  for (std::size_t axis = 0; axis < 3; ++axis)
    if (corners[axis] > corners[axis + 3])
      return "The mesh " + shown + " has a bounding box whose minimum exceeds its maximum.";
  for (const float value : corners)
    if (std::fabs(value) > kMaxPreviewCoordinate)
      return "The mesh " + shown + " is too large to frame: its bounding box reaches beyond " +
             std::to_string(static_cast<long long>(kMaxPreviewCoordinate)) + " units from the origin.";
  return {};
}
}  // namespace

std::string MeshBoundsProblem(std::string_view bytes, const std::string& shown) {
  const std::string damaged = "The mesh " + shown + " is damaged: its chunks do not add up.";
  bool swapped = false;
  std::optional<std::uint16_t> header = TReader(bytes, false).U16(0);
  if (header && *header != kFileHeader) swapped = TReader(bytes, true).U16(0) == kFileHeader;
  const TReader in(bytes, swapped);
  // Anything but a mesh file is OGRE's to refuse, with its own message.
  if (in.U16(0) != kFileHeader) return {};
  const std::size_t versionEnd = in.Find('\n', 2);
  if (versionEnd == std::string_view::npos) return {};
  bool boxes = false;
  for (std::size_t at = versionEnd + 1; at < in.Size();) {
    const std::optional<std::uint16_t> id = in.U16(at);
    const std::optional<std::uint32_t> length = in.U32(at + 2);
    if (!id || !length || *length < kChunkHeader || *length > in.Size() - at) return damaged;
    if (*id == kMeshChunk) {
      const std::size_t end = at + *length;
      // After the header, one byte: whether a skeleton animates the mesh.
      for (std::size_t inner = at + kChunkHeader + 1; inner < end;) {
        const std::optional<std::uint16_t> innerId = in.U16(inner);
        const std::optional<std::uint32_t> innerLength = in.U32(inner + 2);
        if (!innerId || !innerLength || *innerLength < kChunkHeader || *innerLength > end - inner) return damaged;
        if (*innerId == kBoundsChunk) {
          const std::string problem = BoxProblem(in, inner + kChunkHeader, shown);
          if (!problem.empty()) return problem;
          boxes = true;
        }
        inner += *innerLength;
      }
    }
    at += *length;
  }
  return boxes ? std::string() : "The mesh " + shown + " has no bounding box to frame.";
}
