#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

// What the fuzzers share: the input as bytes and a scratch file of this
// process's own, so that two fuzzers can run side by side in one folder.
namespace fuzzing {

inline std::string_view bytesOf(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline std::filesystem::path scratchFile(const char* extension) {
  return std::filesystem::temp_directory_path() /
         ("mincar-fuzz-" + std::to_string(getpid()) + extension);
}

inline void writeScratch(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace fuzzing
