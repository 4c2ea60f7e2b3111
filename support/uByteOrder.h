// Samples on disk are little-endian two's complement whatever the host: two
// bytes each in EDF, three in BDF (sign-extended into 32 bits in memory).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

inline constexpr bool HostIsLittleEndian = std::endian::native == std::endian::little;

// The 16-bit sample at Bytes, low byte first.
constexpr int16_t LoadLE16(const unsigned char* Bytes) {
  return static_cast<int16_t>(static_cast<uint16_t>(Bytes[0] | (Bytes[1] << 8)));
}

// Value at Bytes, low byte first.
constexpr void StoreLE16(unsigned char* Bytes, int16_t Value) {
  const auto u = static_cast<uint16_t>(Value);
  Bytes[0] = static_cast<unsigned char>(u & 0xFF);
  Bytes[1] = static_cast<unsigned char>(u >> 8);
}

// The 24-bit sample at Bytes (low byte first), sign-extended: FF FF FF is -1.
constexpr int32_t LoadLE24(const unsigned char* Bytes) {
  const uint32_t U = uint32_t{Bytes[0]} | (uint32_t{Bytes[1]} << 8) | (uint32_t{Bytes[2]} << 16);
  return static_cast<int32_t>(U << 8) >> 8;
}

// The low 24 bits of Value at Bytes, low byte first.
constexpr void StoreLE24(unsigned char* Bytes, int32_t Value) {
  const auto U = static_cast<uint32_t>(Value);
  Bytes[0] = static_cast<unsigned char>(U & 0xFF);
  Bytes[1] = static_cast<unsigned char>((U >> 8) & 0xFF);
  Bytes[2] = static_cast<unsigned char>((U >> 16) & 0xFF);
}

// Count samples read from disk straight into Samples, put into host order in
// place: nothing to do on a little-endian host.
inline void LE16ToHost(int16_t* Samples, size_t Count) {
  if constexpr (!HostIsLittleEndian) {
    for (size_t i = 0; i < Count; ++i)
      Samples[i] = LoadLE16(reinterpret_cast<const unsigned char*>(Samples + i));
  }
}
